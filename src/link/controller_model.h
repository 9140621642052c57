// The controller's side of the line, as kd215-sim and the page's demo port both play it: its memory,
// the assembly of frames from received bytes, the replies and the faults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/byte_buffer.h"
#include "link/frames.h"

namespace kd215 {

// The controller's configuration memory; the four blocks live at 4, 80, 160 and 330.
constexpr std::size_t kSimMemorySize = 512;
using SimMemory = std::array<uint8_t, kSimMemorySize>;

// How the controller misbehaves for a while (see faultKindApplies for which frames each touches).
enum class SimFaultKind : uint8_t {
    Silent,       // no reply; a write is not stored
    Nak,          // 15 03 E8 instead of the reply; a write is not stored
    BadChecksum,  // the reply with its checksum byte one too high
    BadAddress,   // a data reply carrying the address one above the asked one
    ShortReply,   // the first half (rounded up) of the reply only
    WrongLength,  // a data reply whose length byte is one more than the payload sent
    Garbage,      // as many pseudo-random bytes as the reply would have had
    NoProbe,      // the probe goes unanswered; every other request is answered
};

struct SimFault {
    SimFaultKind kind = SimFaultKind::Silent;
    unsigned remaining = 1;  // exchanges still to spoil (probes, for NoProbe)
};

// The command-line and control-file names: "silent", "nak", "bad-checksum", ...
bool parseFaultKind(const std::string& name, SimFaultKind& kind);
const char* faultKindName(SimFaultKind kind);

enum class SimRequest : uint8_t { Probe, VersionRequest, ReadBlock, WriteBlock, Restart };

// What one stretch of received bytes amounted to.
struct SimRxEvent {
    ByteBuffer received;  // the bytes this event took off the line
    bool recognised = false;        // a well-formed request the controller acted on
    SimRequest request = SimRequest::Probe;  // valid when recognised
    ByteBuffer reply;     // what goes back on the line; empty for no reply
    bool memoryChanged = false;     // a write stored its payload
    std::string note;               // why the bytes were dropped, or which fault spoiled the reply
};

// Largest frame the controller accepts: a block write with a 255-byte payload.
constexpr std::size_t kSimMaxFrame = 255 + kFrameOverhead;

struct SimController {
    SimMemory memory{};
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 5;
    std::vector<SimFault> faults;  // pending, oldest first
    bool unplugged = false;        // drop every byte, answer nothing
    unsigned restartCount = 0;
    uint32_t garbageState = 0x2545F491u;  // xorshift32 state behind the garbage fault
    std::array<uint8_t, kSimMaxFrame> assembly{};
    std::size_t assembled = 0;  // bytes of a frame still incomplete
};

// Takes received bytes as they come, in pieces of any size; appends one event per request
// recognised or stretch of bytes dropped. A frame split across calls is completed later.
void receiveBytes(SimController& sim, const uint8_t* bytes, std::size_t count,
                  std::vector<SimRxEvent>& events);

// The line went quiet in the middle of a frame: the rest will never come, so the partial frame
// is dropped (one event) and the next byte starts afresh.
void noteLineGap(SimController& sim, std::vector<SimRxEvent>& events);

bool hasPartialFrame(const SimController& sim);

void addFault(SimController& sim, SimFaultKind kind, unsigned count);
void clearFaults(SimController& sim);

// Whether a pending fault of this kind spoils the exchange for this request. Faults that change
// a data reply's header (bad address, wrong length) wait for a read or version request; no-probe
// touches only probes; a restart has no reply and spoils nothing.
bool faultKindApplies(SimFaultKind kind, SimRequest request);

// The undisturbed replies, byte for byte.
ByteBuffer versionReply(uint8_t major, uint8_t minor);
ByteBuffer dataReply(const SimMemory& memory, uint16_t address, uint8_t length);

// "1B 03 E2"
std::string hexBytes(const uint8_t* bytes, std::size_t count);

}  // namespace kd215
