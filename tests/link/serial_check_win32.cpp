// A console check of the Win32 serial backend, port discovery and probe, run under Wine by
// serial_wine_check.sh with a silent port and a simulated controller on pseudo-terminals.
//
// Usage: kd215-serial-check.exe CONTROLLER_PORT SILENT_PORT   (e.g. COM12 COM10)
// Prints one "ok ..." or "FAIL ..." line per check and a closing count; exit code 1 on a failure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/port_list.h"
#include "link/probe.h"
#include "link/serial_win32.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool condition, const std::string& what) {
    std::printf("%s %s\n", condition ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    (condition ? passed : failed)++;
}

std::string describe(const kd215::IoResult& result) {
    const char* status = result.status == kd215::IoStatus::Complete  ? "complete"
                         : result.status == kd215::IoStatus::Pending ? "pending"
                                                                     : "failed";
    return std::string(" (") + status + ", " + std::to_string(result.bytes) + " bytes, error " +
           std::to_string(result.errorCode) + ")";
}

// Polls the way the program's loop does: wait on the pending event, then poll.
template <typename Poll>
kd215::IoResult awaitIo(kd215::Win32SerialPort& port, Poll poll) {
    kd215::IoResult result = poll();
    for (int turns = 0; result.status == kd215::IoStatus::Pending && turns < 200; ++turns) {
        HANDLE event = port.pendingEvent();
        if (event != NULL) WaitForSingleObject(event, 50);
        result = poll();
    }
    return result;
}

void checkLineSettings(kd215::Win32SerialPort& port, const std::string& name) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    const bool read = GetCommState(port.nativeHandle(), &dcb) != 0;
    check(read && dcb.BaudRate == 38400 && dcb.ByteSize == 8 && dcb.Parity == NOPARITY &&
              dcb.StopBits == TWOSTOPBITS && dcb.fBinary,
          name + " is at 38400 8N2 in binary mode");
    COMMTIMEOUTS timeouts{};
    const bool readTimeouts = GetCommTimeouts(port.nativeHandle(), &timeouts) != 0;
    check(readTimeouts && timeouts.ReadIntervalTimeout == 100 &&
              timeouts.ReadTotalTimeoutMultiplier == 120 &&
              timeouts.ReadTotalTimeoutConstant == 0 &&
              timeouts.WriteTotalTimeoutMultiplier == 120 &&
              timeouts.WriteTotalTimeoutConstant == 0,
          name + " has the read and write time-outs");
}

void checkSilentPort(kd215::Win32SerialPort& port, const std::string& name) {
    const kd215::OpenResult opened = port.open(name);
    check(opened == kd215::OpenResult::Opened,
          "open " + name + " (error " + std::to_string(port.lastOpenError()) + ")");
    if (!port.isOpen()) return;
    checkLineSettings(port, name);

    uint8_t reply[3] = {};
    const DWORD start = GetTickCount();
    port.startRead(reply, sizeof(reply));
    check(port.pendingEvent() != NULL, "a read under way has an event to wait on");
    const kd215::IoResult silent = awaitIo(port, [&] { return port.pollRead(); });
    const DWORD elapsed = GetTickCount() - start;
    check(silent.status == kd215::IoStatus::Complete && silent.bytes == 0,
          "a read of 3 bytes on a silent line completes with 0 bytes" + describe(silent));
    check(elapsed >= 300 && elapsed < 2000,
          "... after its total time-out (" + std::to_string(elapsed) + " ms)");
    check(port.pendingEvent() == NULL, "no event once the read was seen finished");

    port.startRead(reply, sizeof(reply));
    const DWORD purgeStart = GetTickCount();
    port.purge();
    const kd215::IoResult purged = port.pollRead();
    check(purged.status == kd215::IoStatus::Failed && purged.errorCode == ERROR_OPERATION_ABORTED,
          "purge ends a pending read" + describe(purged));
    check(GetTickCount() - purgeStart < 300, "... at once");

    const uint8_t frame[3] = {0x1B, 0x03, 0xE2};
    port.startWrite(frame, sizeof(frame));
    const kd215::IoResult written = awaitIo(port, [&] { return port.pollWrite(); });
    check(written.status == kd215::IoStatus::Complete && written.bytes == 3,
          "a write of 3 bytes completes" + describe(written));
    port.close();
    check(port.pollRead().status == kd215::IoStatus::Failed &&
              port.pollRead().errorCode == ERROR_INVALID_HANDLE,
          "a poll on the closed port fails");
}

void checkProbe(kd215::Win32SerialPort& port, const std::vector<std::string>& table,
                const std::string& controller) {
    const auto wanted = std::find(table.begin(), table.end(), controller);
    const DWORD start = GetTickCount();
    const kd215::ProbeOutcome outcome = kd215::ProbePorts(port, table);
    check(wanted != table.end() && outcome.foundIndex == wanted - table.begin() && port.isOpen(),
          "the probe over the table finds " + controller + " (index " +
              std::to_string(outcome.foundIndex) + ", " +
              std::to_string(GetTickCount() - start) + " ms)");
    if (!port.isOpen()) return;

    // The exchange that follows a successful probe: the firmware version.
    const uint8_t request[3] = {0x12, 0x03, 0xEB};
    port.startWrite(request, sizeof(request));
    awaitIo(port, [&] { return port.pollWrite(); });
    uint8_t reply[8] = {};
    port.startRead(reply, sizeof(reply));
    const kd215::IoResult read = awaitIo(port, [&] { return port.pollRead(); });
    uint8_t sum = 0;
    for (uint8_t b : reply) sum = static_cast<uint8_t>(sum + b);
    check(read.status == kd215::IoStatus::Complete && read.bytes == 8 && reply[0] == 0x13 &&
              sum == 0,
          "the controller answers the version request on the probed port" + describe(read));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kd215-serial-check CONTROLLER_PORT SILENT_PORT\n");
        return 2;
    }
    const std::string controller = argv[1];
    const std::string silent = argv[2];

    const std::vector<std::string> table = kd215::ListPorts();
    std::string listed;
    for (const std::string& name : table) listed += " " + name;
    const auto at = [&](const std::string& name) {
        return std::find(table.begin(), table.end(), name) - table.begin();
    };
    check(at(controller) < static_cast<long>(table.size()) &&
              at(silent) < static_cast<long>(table.size()),
          "ListPorts lists both ports:" + listed);
    check(std::is_sorted(table.begin(), table.end()), "the table is in order");

    kd215::Win32SerialPort port;
    const kd215::OpenResult missing = port.open("COM99");
    check(missing == kd215::OpenResult::OpenFailed && !port.isOpen() && port.lastOpenError() != 0,
          "a missing port fails to open (error " + std::to_string(port.lastOpenError()) + ")");
    checkSilentPort(port, silent);
    checkProbe(port, table, controller);
    port.close();

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
