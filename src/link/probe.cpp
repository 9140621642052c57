// Finding the controller on one of the listed ports with the probe frame.
#include "link/probe.h"

#include <algorithm>
#include <array>

#include "link/frames.h"

namespace kd215 {

const char* const kControllerNotFoundText =
    "Nie znalazłem sterownika Kd215 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj "
    "ponownie.";

namespace {

// How long one wait between polls may last; waitForIo returns earlier when the I/O moves.
constexpr unsigned kProbeWaitSliceMs = 50;

IoResult awaitWrite(SerialPort& port) {
    IoResult result = port.pollWrite();
    while (result.status == IoStatus::Pending) {
        port.waitForIo(kProbeWaitSliceMs);
        result = port.pollWrite();
    }
    return result;
}

IoResult awaitRead(SerialPort& port) {
    IoResult result = port.pollRead();
    while (result.status == IoStatus::Pending && port.isOpen()) {
        port.waitForIo(kProbeWaitSliceMs);
        result = port.pollRead();
    }
    return result;
}

}  // namespace

ProbeReply probeOpenPort(SerialPort& port) {
    ProbeReply reply;
    port.purge();
    port.startWrite(kProbeFrame.data(), kProbeFrame.size());
    const IoResult written = awaitWrite(port);
    if (written.status != IoStatus::Complete) {
        reply.writeFailed = true;
        reply.errorCode = written.errorCode;
        return reply;
    }
    std::array<uint8_t, 3> answer{};
    port.startRead(answer.data(), answer.size());
    const IoResult received = awaitRead(port);
    reply.received = received.bytes;
    if (received.status == IoStatus::Failed) reply.errorCode = received.errorCode;
    reply.acknowledged = received.status == IoStatus::Complete && port.isOpen() &&
                         isAcknowledgement(answer.data(), received.bytes);
    return reply;
}

ProbeOutcome ProbePorts(SerialPort& port, const std::vector<PortInfo>& portTable) {
    ProbeOutcome outcome;
    for (std::size_t i = 0; i < portTable.size(); ++i) {
        if (portTable[i].bluetooth) continue;
        if (port.open(portTable[i].name) != OpenResult::Opened) continue;
        const ProbeReply reply = probeOpenPort(port);
        if (reply.writeFailed) {
            outcome.communicationFailed = true;
            outcome.errorCode = reply.errorCode;
            outcome.failedIndex = static_cast<int>(i);
            return outcome;
        }
        if (reply.acknowledged) {
            outcome.foundIndex = static_cast<int>(i);
            return outcome;
        }
        port.close();
    }
    port.close();
    return outcome;
}

std::string probeFailureText(const ProbeOutcome& outcome) {
    return "Błąd komunikacji : " + std::to_string(outcome.errorCode);
}

}  // namespace kd215
