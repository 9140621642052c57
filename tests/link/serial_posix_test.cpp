// The termios backend over a pseudo-terminal: line settings, the read and write time-outs, purge.
#include <gtest/gtest.h>

#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "link/pty_pair.h"
#include "link/serial_posix.h"

namespace kd215 {
namespace {

using test::awaitRead;
using test::awaitWrite;
using test::PtyPair;
using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ready());
        ASSERT_EQ(port.open(pty.devicePath), OpenResult::Opened) << port.lastOpenError();
    }
    PtyPair pty;
    PosixSerialPort port;
};

TEST_F(SerialPosixTest, LineIsRaw38400EightDataBitsNoParityTwoStopBits) {
    termios line{};
    ASSERT_EQ(tcgetattr(pty.master, &line), 0);  // a pty master reports its slave's settings
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B38400));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    EXPECT_FALSE(line.c_cflag & PARENB);
    EXPECT_FALSE(line.c_cflag & CRTSCTS);
    EXPECT_TRUE(line.c_cflag & CLOCAL);
    EXPECT_TRUE(line.c_cflag & CREAD);
    // A canonical or echoing line would hold replies back until a newline or bounce frames.
    EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(line.c_oflag & OPOST);
}

TEST_F(SerialPosixTest, FramesPassUnchangedBothWays) {
    // Bytes a cooked line would eat or translate: XON/XOFF, CR, NL, interrupt, 0xFF.
    const std::vector<uint8_t> frame = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0x7F, 0xFF, 0x00};
    port.startWrite(frame.data(), frame.size());
    const IoResult written = awaitWrite(port);
    EXPECT_EQ(written.status, IoStatus::Complete);
    EXPECT_EQ(written.bytes, frame.size());
    EXPECT_EQ(pty.receive(), frame);

    pty.send(frame);
    std::vector<uint8_t> reply(frame.size());
    port.startRead(reply.data(), reply.size());
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Complete);
    EXPECT_EQ(read.bytes, frame.size());
    EXPECT_EQ(reply, frame);
}

TEST_F(SerialPosixTest, ReadCompletesAsSoonAsAllBytesArrived) {
    std::vector<uint8_t> reply(4);
    port.startRead(reply.data(), reply.size());
    EXPECT_EQ(port.pollRead().status, IoStatus::Pending);
    pty.send({1, 2});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto secondHalfSent = Clock::now();
    pty.send({3, 4});
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Complete);
    EXPECT_EQ(read.bytes, 4u);
    EXPECT_EQ(reply, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_LT(msSince(secondHalfSent), 90) << "waited for a time-out though the read was full";
}

TEST_F(SerialPosixTest, ShortReadEndsAnIntervalAfterItsLastByte) {
    // Bytes 60 ms apart keep the read going; it ends 100 ms after the third, long before the
    // 960 ms total of an 8-byte read.
    std::vector<uint8_t> reply(8);
    const auto start = Clock::now();
    port.startRead(reply.data(), reply.size());
    std::thread device([&] {
        for (uint8_t b : {0x06, 0x03, 0xF7}) {
            pty.send({b});
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    });
    const IoResult read = awaitRead(port);
    const long long elapsed = msSince(start);
    device.join();
    EXPECT_EQ(read.status, IoStatus::Complete);
    EXPECT_EQ(read.bytes, 3u);
    EXPECT_EQ(reply[2], 0xF7);
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 700);
}

TEST_F(SerialPosixTest, SilentLineEndsReadAfterTotalTimeoutWithNoBytes) {
    uint8_t reply[2];
    const auto start = Clock::now();
    port.startRead(reply, sizeof(reply));
    const IoResult read = awaitRead(port);
    const long long elapsed = msSince(start);
    EXPECT_EQ(read.status, IoStatus::Complete) << "a silent line is not a failure";
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_GE(elapsed, 235);  // 2 x 120 ms
    EXPECT_LT(elapsed, 1000);
    // A finished read keeps its result.
    EXPECT_EQ(port.pollRead().status, IoStatus::Complete);
}

TEST_F(SerialPosixTest, WriteThatCannotDrainFailsAfterItsTimeout) {
    // Nobody reads the master: a large write fills the pty, then a 2-byte write cannot go out.
    std::vector<uint8_t> flood(1 << 20, 0x55);
    port.startWrite(flood.data(), flood.size());
    for (int i = 0; i < 10; ++i) {
        port.waitForIo(10);
        ASSERT_EQ(port.pollWrite().status, IoStatus::Pending);
    }
    const uint8_t probe[2] = {0x1B, 0x03};
    const auto start = Clock::now();
    port.startWrite(probe, sizeof(probe));
    const IoResult written = awaitWrite(port);
    const long long elapsed = msSince(start);
    EXPECT_EQ(written.status, IoStatus::Failed);
    EXPECT_EQ(written.errorCode, static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_GE(elapsed, 235);
    EXPECT_LT(elapsed, 1000);
}

TEST_F(SerialPosixTest, PurgeAbandonsPendingRead) {
    uint8_t reply[3] = {};
    port.startRead(reply, 3);
    port.purge();
    const IoResult abandoned = port.pollRead();
    EXPECT_EQ(abandoned.status, IoStatus::Failed);
    EXPECT_EQ(abandoned.errorCode, static_cast<uint32_t>(ECANCELED));
    // Nothing is left pending: the wait returns at once.
    const auto waitStart = Clock::now();
    port.waitForIo(300);
    EXPECT_LT(msSince(waitStart), 150);
}

TEST_F(SerialPosixTest, PurgeDropsBytesReceivedBeforeIt) {
    pty.send({0xAA, 0xBB});  // a stale answer, say from an earlier exchange
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port.purge();
    pty.send({0xCC});
    uint8_t reply[3] = {};
    port.startRead(reply, 3);
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Complete);
    ASSERT_EQ(read.bytes, 1u);
    EXPECT_EQ(reply[0], 0xCC);
}

TEST_F(SerialPosixTest, DeviceHangingUpFailsTheReadInsteadOfTimingOut) {
    uint8_t reply[3];
    port.startRead(reply, sizeof(reply));
    pty.closeMaster();
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Failed);
    EXPECT_NE(read.errorCode, 0u);
}

TEST_F(SerialPosixTest, PollsOnClosedPortFail) {
    uint8_t reply[3];
    port.startRead(reply, sizeof(reply));
    port.close();
    EXPECT_FALSE(port.isOpen());
    const IoResult read = port.pollRead();
    EXPECT_EQ(read.status, IoStatus::Failed);
    EXPECT_EQ(read.errorCode, static_cast<uint32_t>(EBADF));
    port.startWrite(reply, sizeof(reply));
    EXPECT_EQ(port.pollWrite().errorCode, static_cast<uint32_t>(EBADF));
}

TEST_F(SerialPosixTest, PortHeldHereCannotBeOpenedAgain) {
    PosixSerialPort other;
    EXPECT_EQ(other.open(pty.devicePath), OpenResult::OpenFailed);
    EXPECT_FALSE(other.isOpen());
    port.close();
    EXPECT_EQ(other.open(pty.devicePath), OpenResult::Opened);
}

TEST(SerialPosixOpen, MissingDeviceOrNonTerminalFailsToOpen) {
    PosixSerialPort port;
    EXPECT_EQ(port.open("/dev/kd215-no-such-port"), OpenResult::OpenFailed);
    EXPECT_EQ(port.lastOpenError(), ENOENT);
    EXPECT_FALSE(port.isOpen());

    char path[] = "/tmp/kd215-serial-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    EXPECT_EQ(port.open(path), OpenResult::OpenFailed);
    EXPECT_EQ(port.lastOpenError(), ENOTTY);
    EXPECT_FALSE(port.isOpen());
    ::close(file);
    std::remove(path);
}

TEST(SerialPosixOpen, OpeningAnotherPortClosesTheFirst) {
    PtyPair first;
    PtyPair second;
    ASSERT_TRUE(first.ready() && second.ready());
    PosixSerialPort port;
    ASSERT_EQ(port.open(first.devicePath), OpenResult::Opened);
    ASSERT_EQ(port.open(second.devicePath), OpenResult::Opened);
    PosixSerialPort other;
    EXPECT_EQ(other.open(first.devicePath), OpenResult::Opened) << "first port still held";
}

}  // namespace
}  // namespace kd215
