// Finding the controller over real lines: a missing device, one that refuses, then kd215-sim.
#include <gtest/gtest.h>

#include <thread>

#include "link/frames.h"
#include "link/probe.h"
#include "link/pty_pair.h"
#include "link/serial_posix.h"
#include "sim_process_posix.h"

namespace kd215 {
namespace {

std::vector<PortInfo> table(std::initializer_list<std::string> paths) {
    std::vector<PortInfo> ports;
    for (const std::string& path : paths) ports.push_back({path, path, "", false});
    return ports;
}

TEST(Probe, FindsTheControllerOnTheSecondLineLeavesItOpenAndNeverTouchesTheNext) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    test::PtyPair refusing, after;
    ASSERT_TRUE(refusing.ready() && after.ready());
    std::vector<uint8_t> probeSeen;
    std::thread device([&] {
        probeSeen = refusing.receive(3000);
        refusing.send({0x15, 0x03, 0xE8});
    });
    PosixSerialPort port;
    const ProbeOutcome outcome =
        ProbePorts(port, table({"/dev/kd215-no-such-port", refusing.devicePath, sim.link(), after.devicePath}));
    device.join();
    EXPECT_EQ(outcome.foundIndex, 2);
    EXPECT_FALSE(outcome.communicationFailed);
    EXPECT_EQ(probeSeen, (std::vector<uint8_t>{0x1B, 0x03, 0xE2}));
    EXPECT_TRUE(after.receive(0).empty());

    // The line stays open and usable for what comes next.
    ASSERT_TRUE(port.isOpen());
    port.startWrite(kVersionRequestFrame.data(), kVersionRequestFrame.size());
    EXPECT_EQ(test::awaitWrite(port).status, IoStatus::Complete);
    EXPECT_EQ(sim.frames("RX", 2), (std::vector<std::string>{"1B 03 E2", "12 03 EB"}));
}

TEST(Probe, NoAnswerAnywhereLeavesNoPortOpen) {
    test::PtyPair silent;
    PosixSerialPort port;
    EXPECT_EQ(ProbePorts(port, table({silent.devicePath, "/dev/kd215-no-such-port"})).foundIndex, -1);
    EXPECT_FALSE(port.isOpen());
}

// Opening a Bluetooth port makes the system call the paired device for many seconds: the probe
// leaves it for the user to choose, even when a controller answers there.
TEST(Probe, PassesOverABluetoothPortUnopened) {
    SimProcess bluetooth, wired;
    ASSERT_TRUE(bluetooth.start() && wired.start());
    std::vector<PortInfo> ports = table({bluetooth.link(), wired.link()});
    ports[0].bluetooth = true;
    PosixSerialPort port;
    EXPECT_EQ(ProbePorts(port, ports).foundIndex, 1);
    EXPECT_TRUE(bluetooth.frames("RX", 0).empty());
    EXPECT_EQ(port.open(bluetooth.link()), OpenResult::Opened) << "the port itself is not refused";
}

}  // namespace
}  // namespace kd215
