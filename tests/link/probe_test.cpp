// Finding the controller: which ports the probe opens, what it sends, what it takes for an answer.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include "link/probe.h"
#include "link/pty_pair.h"
#include "link/serial_posix.h"

namespace kd215 {
namespace {

std::string hex(const uint8_t* bytes, std::size_t n) {
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(part, sizeof(part), i ? " %02X" : "%02X", bytes[i]);
        text += part;
    }
    return text;
}

// A port whose devices are scripted by name; it logs every call the probe makes.
class DevicePort : public SerialPort {
public:
    struct Device {
        OpenResult openResult = OpenResult::Opened;
        IoResult writeResult{IoStatus::Complete, 3, 0};
        std::vector<uint8_t> reply;  // what arrives within the read's time-outs
        uint32_t readError = 0;      // non-zero: the read fails with it
        int pendingPolls = 2;        // polls that find each transfer still under way
    };

    std::map<std::string, Device> devices;  // a name not listed does not exist
    std::vector<std::string> log;
    int waits = 0;
    int pendingSeen = 0;

    OpenResult open(const std::string& name) override {
        close();
        log.push_back("open " + name);
        const auto found = devices.find(name);
        if (found == devices.end()) return OpenResult::OpenFailed;
        if (found->second.openResult == OpenResult::Opened) current_ = &found->second;
        return found->second.openResult;
    }
    bool isOpen() const override { return current_ != nullptr; }
    void close() override {
        if (current_ != nullptr) log.push_back("close");
        current_ = nullptr;
    }
    void startWrite(const uint8_t* data, std::size_t n) override {
        log.push_back("write " + hex(data, n));
        pollsLeft_ = current_ ? current_->pendingPolls : 0;
    }
    IoResult pollWrite() override {
        if (current_ == nullptr) return IoResult{IoStatus::Failed, 0, 6};
        if (pollsLeft_-- > 0) return pending();
        return current_->writeResult;
    }
    void startRead(uint8_t* into, std::size_t n) override {
        log.push_back("read " + std::to_string(n));
        readInto_ = into;
        readSize_ = n;
        pollsLeft_ = current_ ? current_->pendingPolls : 0;
    }
    IoResult pollRead() override {
        if (current_ == nullptr) return IoResult{IoStatus::Failed, 0, 6};
        if (pollsLeft_-- > 0) return pending();
        if (current_->readError != 0) return IoResult{IoStatus::Failed, 0, current_->readError};
        // What the device did not send leaves an old acknowledgement in place, as a reused
        // receive buffer would: only the byte count tells a short reply from a full one.
        static const uint8_t stale[] = {0x06, 0x03, 0xF7};
        std::memcpy(readInto_, stale, std::min(readSize_, sizeof(stale)));
        const std::size_t n = std::min(readSize_, current_->reply.size());
        std::memcpy(readInto_, current_->reply.data(), n);
        return IoResult{IoStatus::Complete, static_cast<uint32_t>(n), 0};
    }
    void purge() override { log.push_back("purge"); }
    void waitForIo(unsigned) override { ++waits; }

private:
    IoResult pending() {
        ++pendingSeen;
        return IoResult{IoStatus::Pending, 0, 0};
    }
    Device* current_ = nullptr;
    int pollsLeft_ = 0;
    uint8_t* readInto_ = nullptr;
    std::size_t readSize_ = 0;
};

using Log = std::vector<std::string>;
const std::vector<uint8_t> kAck = {0x06, 0x03, 0xF7};

DevicePort::Device answering(std::vector<uint8_t> reply) {
    DevicePort::Device device;
    device.reply = std::move(reply);
    return device;
}

TEST(Probe, ControllerOnSecondOfThreePortsIsLeftOpenAndThirdNeverOpened) {
    DevicePort port;
    port.devices = {{"COM1", answering({})}, {"COM2", answering(kAck)}, {"COM3", answering(kAck)}};
    const ProbeOutcome outcome = ProbePorts(port, {"COM1", "COM2", "COM3"});
    EXPECT_EQ(outcome.foundIndex, 1);
    EXPECT_FALSE(outcome.communicationFailed);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.log, (Log{"open COM1", "purge", "write 1B 03 E2", "read 3", "close",
                             "open COM2", "purge", "write 1B 03 E2", "read 3"}));
    // Pending polls were separated by waits, not spun.
    EXPECT_GE(port.waits, port.pendingSeen);
}

TEST(Probe, AnythingButTheExactAcknowledgementIsNotTheController) {
    DevicePort port;
    DevicePort::Device failingRead;
    failingRead.readError = 995;
    port.devices = {{"COM1", answering({0x06, 0x03})},        // two bytes only
                    {"COM2", answering({0x15, 0x03, 0xE8})},  // a refusal
                    {"COM3", answering({0x06, 0x03, 0xF6})},  // bad checksum byte
                    {"COM4", failingRead},
                    {"COM5", answering(kAck)}};
    const ProbeOutcome outcome = ProbePorts(port, {"COM1", "COM2", "COM3", "COM4", "COM5"});
    EXPECT_EQ(outcome.foundIndex, 4);
    EXPECT_FALSE(outcome.communicationFailed);
    const Log expected = {"open COM1", "purge", "write 1B 03 E2", "read 3", "close",
                          "open COM2", "purge", "write 1B 03 E2", "read 3", "close",
                          "open COM3", "purge", "write 1B 03 E2", "read 3", "close",
                          "open COM4", "purge", "write 1B 03 E2", "read 3", "close",
                          "open COM5", "purge", "write 1B 03 E2", "read 3"};
    EXPECT_EQ(port.log, expected);
}

TEST(Probe, PortsThatWillNotOpenOrConfigureAreSkippedSilently) {
    DevicePort port;
    DevicePort::Device refusesLine;
    refusesLine.openResult = OpenResult::ConfigureFailed;
    port.devices = {{"COM2", refusesLine}, {"COM3", answering(kAck)}};  // COM1 is held elsewhere
    const ProbeOutcome outcome = ProbePorts(port, {"COM1", "COM2", "COM3"});
    EXPECT_EQ(outcome.foundIndex, 2);
    EXPECT_FALSE(outcome.communicationFailed);
    EXPECT_EQ(port.log, (Log{"open COM1", "open COM2", "open COM3", "purge", "write 1B 03 E2",
                             "read 3"}));
}

TEST(Probe, FailedWriteEndsProbeWithItsCodeAndLeavesThatPortOpen) {
    DevicePort port;
    DevicePort::Device brokenLine;
    brokenLine.writeResult = IoResult{IoStatus::Failed, 0, 21};
    port.devices = {{"COM1", answering({})}, {"COM2", brokenLine}, {"COM3", answering(kAck)}};
    const ProbeOutcome outcome = ProbePorts(port, {"COM1", "COM2", "COM3"});
    EXPECT_EQ(outcome.foundIndex, -1);
    EXPECT_TRUE(outcome.communicationFailed);
    EXPECT_EQ(outcome.errorCode, 21u);
    EXPECT_EQ(outcome.failedIndex, 1);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.log.back(), "write 1B 03 E2");
    EXPECT_EQ(probeFailureText(outcome), "Błąd komunikacji : 21");
}

TEST(Probe, NoAnswerAnywhereLeavesNoPortOpen) {
    DevicePort port;
    port.devices = {{"COM1", answering({})}, {"COM2", answering({0x00})}};
    const ProbeOutcome outcome = ProbePorts(port, {"COM1", "COM2"});
    EXPECT_EQ(outcome.foundIndex, -1);
    EXPECT_FALSE(outcome.communicationFailed);
    EXPECT_FALSE(port.isOpen());

    EXPECT_EQ(ProbePorts(port, {}).foundIndex, -1);
    EXPECT_FALSE(port.isOpen());
}

// The same search over real pseudo-terminals: a missing device, a silent one, and a controller
// answered by a thread that checks the probe frame before acknowledging it.
TEST(ProbeOverPty, FindsTheAnsweringLineAndLeavesItUsable) {
    test::PtyPair silent;
    test::PtyPair controller;
    ASSERT_TRUE(silent.ready() && controller.ready());
    std::atomic<bool> probeWasRight{false};
    std::thread device([&] {
        const std::vector<uint8_t> probe = controller.receive(3000);
        probeWasRight = probe == std::vector<uint8_t>{0x1B, 0x03, 0xE2};
        if (probeWasRight) controller.send(kAck);
    });

    PosixSerialPort port;
    const ProbeOutcome outcome =
        ProbePorts(port, {"/dev/kd215-no-such-port", silent.devicePath, controller.devicePath});
    device.join();
    EXPECT_TRUE(probeWasRight);
    EXPECT_EQ(outcome.foundIndex, 2);
    EXPECT_FALSE(outcome.communicationFailed);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(silent.receive(0), (std::vector<uint8_t>{0x1B, 0x03, 0xE2}));

    const uint8_t next[3] = {0x12, 0x03, 0xEB};
    port.startWrite(next, sizeof(next));
    EXPECT_EQ(test::awaitWrite(port).status, IoStatus::Complete);
    EXPECT_EQ(controller.receive(), (std::vector<uint8_t>(next, next + 3)));
}

}  // namespace
}  // namespace kd215
