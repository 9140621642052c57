// Finding the controller: the probe frame sent to each port of the table until one acknowledges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/port_list.h"
#include "link/serial_port.h"

namespace kd215 {

struct ProbeOutcome {
    int foundIndex = -1;               // the entry that acknowledged; its port is left open
    bool communicationFailed = false;  // writing the probe failed: the probe ended there
    uint32_t errorCode = 0;            // the failed write's system error code
    int failedIndex = -1;              // the entry whose write failed; its port stays open
};

// One probe exchange on a port already open: purge, the probe frame out, three bytes back.
struct ProbeReply {
    bool acknowledged = false;  // exactly the acknowledgement frame came back
    uint32_t received = 0;      // bytes that came (0: nothing answered)
    bool writeFailed = false;   // the probe frame could not be sent
    uint32_t errorCode = 0;     // the failed write's or read's system error code; 0 when none failed
};
// Blocks in port.waitForIo() until done: about 360 ms on a silent line.
ProbeReply probeOpenPort(SerialPort& port);

// Tries the entries in order: open quietly (a port that will not open is skipped, and so is a
// Bluetooth port, which the user may still choose by hand), purge, write the probe frame, read
// 3 bytes. Stops at the first port that answers exactly with the
// acknowledgement frame, leaving it open and never touching a later entry. A port that answers
// otherwise, stays silent or fails the read is closed. When no port answers, none is open.
// Blocks in port.waitForIo() until done: at most the open time plus about 360 ms a silent port.
ProbeOutcome ProbePorts(SerialPort& port, const std::vector<PortInfo>& portTable);

// What the user is told when no port answered the probe.
extern const char* const kControllerNotFoundText;

// The message for a failed probe write: "Błąd komunikacji : " and the code in decimal.
std::string probeFailureText(const ProbeOutcome& outcome);

}  // namespace kd215
