// The termios backend over a pseudo-terminal: raw bytes, the read and write time-outs, purge, hang-up.
#include <gtest/gtest.h>

#include <termios.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "link/pty_pair.h"
#include "link/serial_posix.h"

namespace kd215 {
namespace {

using test::awaitRead;
using test::awaitWrite;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SerialPosix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ready());
        ASSERT_EQ(port.open(pty.devicePath), OpenResult::Opened) << port.lastOpenError();
    }
    test::PtyPair pty;
    PosixSerialPort port;
};

TEST_F(SerialPosix, FramesPassUnchangedBothWaysAndAFullReadEndsAtOnce) {
    // Bytes a cooked line would eat or translate: XON/XOFF, CR, NL, interrupt, 0xFF.
    const Bytes frame = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0x7F, 0xFF, 0x00};
    port.startWrite(frame.data(), frame.size());
    EXPECT_EQ(awaitWrite(port).status, IoStatus::Complete);
    EXPECT_EQ(pty.receive(), frame);

    Bytes reply(frame.size());
    port.startRead(reply.data(), reply.size());
    const auto sent = Clock::now();
    pty.send(frame);
    EXPECT_EQ(awaitRead(port).bytes, frame.size());
    EXPECT_LT(msSince(sent), 90) << "waited for a time-out though the read was full";
    EXPECT_EQ(reply, frame);
}

TEST_F(SerialPosix, TheLineIsRaw38400EightDataBitsTwoStopBitsNoParityNoFlowControl) {
    // Read back from the device's own side: both ends of a pseudo-terminal share one setting.
    termios line{};
    ASSERT_EQ(tcgetattr(pty.master, &line), 0) << errno;
    EXPECT_EQ(cfgetospeed(&line), B38400);
    EXPECT_EQ(cfgetispeed(&line), B38400);
    EXPECT_EQ(line.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS), tcflag_t(CS8 | CSTOPB));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
}

TEST_F(SerialPosix, ShortReadEndsAnIntervalAfterItsLastByte) {
    // Bytes 60 ms apart keep the read going; it ends 100 ms after the third, long before the
    // 960 ms total of an 8-byte read.
    Bytes reply(8);
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
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 700);
}

TEST_F(SerialPosix, SilentLineEndsTheReadAfterTheTotalTimeOutWithNoBytes) {
    uint8_t reply[2];
    const auto start = Clock::now();
    port.startRead(reply, sizeof reply);
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Complete) << "a silent line is not a failure";
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_GE(msSince(start), 235);  // 2 x 120 ms
    EXPECT_LT(msSince(start), 1000);
}

TEST_F(SerialPosix, WriteThatCannotDrainFailsAfterItsTimeOut) {
    // Nobody reads the master: a large write fills the pty, then a 2-byte write cannot go out.
    Bytes flood(1 << 20, 0x55);
    port.startWrite(flood.data(), flood.size());
    port.waitForIo(50);
    ASSERT_EQ(port.pollWrite().status, IoStatus::Pending);
    const uint8_t probe[2] = {0x1B, 0x03};
    const auto start = Clock::now();
    port.startWrite(probe, sizeof probe);
    const IoResult written = awaitWrite(port);
    EXPECT_EQ(written.status, IoStatus::Failed);
    EXPECT_EQ(written.errorCode, static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_GE(msSince(start), 235);
    EXPECT_LT(msSince(start), 1000);
}

TEST_F(SerialPosix, PurgeAbandonsAPendingReadAndDropsWhatCameBefore) {
    uint8_t reply[3] = {};
    port.startRead(reply, 3);
    port.purge();
    EXPECT_EQ(port.pollRead().errorCode, static_cast<uint32_t>(ECANCELED));

    pty.send({0xAA, 0xBB});  // a stale answer from an earlier exchange
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port.purge();
    pty.send({0xCC});
    port.startRead(reply, 3);
    ASSERT_EQ(awaitRead(port).bytes, 1u);
    EXPECT_EQ(reply[0], 0xCC);
}

TEST_F(SerialPosix, DeviceHangingUpFailsTheReadInsteadOfTimingOut) {
    uint8_t reply[3];
    port.startRead(reply, sizeof reply);
    pty.closeMaster();
    const IoResult read = awaitRead(port);
    EXPECT_EQ(read.status, IoStatus::Failed);
    EXPECT_NE(read.errorCode, 0u);
}

}  // namespace
}  // namespace kd215
