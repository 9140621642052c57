// The termios backend of the serial seam: open, configure, non-blocking I/O with software time-outs.
#include "link/serial_posix.h"

#include "link/port_list.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kd215 {

namespace {

// The line this process holds in exclusive mode, for releaseExclusiveLine() from a signal handler.
volatile sig_atomic_t exclusiveFd = -1;

bool lineMatches(const termios& wanted, const termios& actual) {
    const tcflag_t lineBits = CSIZE | CSTOPB | PARENB | CRTSCTS;
    return cfgetospeed(&actual) == cfgetospeed(&wanted) &&
           cfgetispeed(&actual) == cfgetispeed(&wanted) &&
           (actual.c_cflag & lineBits) == (wanted.c_cflag & lineBits);
}

}  // namespace

std::string portDevicePath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

PosixSerialPort::~PosixSerialPort() { close(); }

OpenResult PosixSerialPort::open(const std::string& name) {
    close();
    openError_ = 0;
    fd_ = ::open(portDevicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        openError_ = errno;
        return OpenResult::OpenFailed;
    }
    if (!isatty(fd_)) {
        openError_ = ENOTTY;
        close();
        return OpenResult::OpenFailed;
    }
    // Windows opens a port unshared. The advisory lock keeps off programs that honour it (and
    // tells us when one holds the port); TIOCEXCL refuses later opens by anyone but root.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        openError_ = errno;
        close();
        return OpenResult::OpenFailed;
    }
    if (ioctl(fd_, TIOCEXCL) == 0) exclusiveFd = fd_;
    const OpenResult configured = configureLine();
    if (configured != OpenResult::Opened) close();
    return configured;
}

OpenResult PosixSerialPort::configureLine() {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        openError_ = errno;
        return OpenResult::ConfigureFailed;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // The fd is non-blocking and the time-outs are kept by the polls. With VMIN 1 a read that
    // finds nothing fails with EAGAIN, so a read of 0 bytes can only mean the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B38400) != 0 || cfsetospeed(&tio, B38400) != 0 ||
        tcsetattr(fd_, TCSANOW, &tio) != 0) {
        openError_ = errno;
        return OpenResult::ConfigureFailed;
    }
    // tcsetattr succeeds when any part of the request was taken: read the line back.
    termios applied{};
    if (tcgetattr(fd_, &applied) != 0) {
        openError_ = errno;
        return OpenResult::ConfigureFailed;
    }
    if (!lineMatches(tio, applied)) {
        openError_ = EINVAL;
        return OpenResult::ConfigureFailed;
    }
    return OpenResult::Opened;
}

void releaseExclusiveLine() {
    const int fd = exclusiveFd;
    if (fd >= 0) ioctl(fd, TIOCNXCL);
    exclusiveFd = -1;
}

void PosixSerialPort::close() {
    // Exclusive mode belongs to the tty, not to this descriptor: where the tty outlives the
    // close (a pseudo-terminal, a network serial bridge), it would keep refusing every later
    // open by anyone but root.
    if (fd_ >= 0 && fd_ == exclusiveFd) releaseExclusiveLine();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    read_ = Transfer{};
    write_ = Transfer{};
}

void PosixSerialPort::begin(Transfer& transfer, std::size_t n, unsigned msPerByte) {
    transfer.started = true;
    transfer.finished = false;
    transfer.result = IoResult{IoStatus::Pending, 0, 0};
    transfer.wanted = n;
    transfer.moved = 0;
    const Clock::time_point now = Clock::now();
    transfer.deadline = now + std::chrono::milliseconds(static_cast<long long>(msPerByte) *
                                                        static_cast<long long>(n));
    transfer.lastByteAt = now;
}

void PosixSerialPort::finish(Transfer& transfer, IoStatus status, uint32_t errorCode) {
    transfer.finished = true;
    transfer.result = IoResult{status, static_cast<uint32_t>(transfer.moved), errorCode};
}

void PosixSerialPort::startWrite(const uint8_t* data, std::size_t n) {
    write_.source = data;
    begin(write_, n, kWriteTotalTimeoutPerByteMs);
    if (fd_ >= 0) advanceWrite();
}

void PosixSerialPort::startRead(uint8_t* into, std::size_t n) {
    read_.target = into;
    begin(read_, n, kReadTotalTimeoutPerByteMs);
    if (fd_ >= 0) advanceRead();
}

void PosixSerialPort::advanceWrite() {
    while (write_.moved < write_.wanted) {
        const ssize_t put =
            ::write(fd_, write_.source + write_.moved, write_.wanted - write_.moved);
        if (put > 0) {
            write_.moved += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            finish(write_, IoStatus::Failed, static_cast<uint32_t>(errno));
            return;
        } else {
            break;
        }
    }
    if (write_.moved == write_.wanted) {
        finish(write_, IoStatus::Complete, 0);
    } else if (Clock::now() >= write_.deadline) {
        finish(write_, IoStatus::Failed, ETIMEDOUT);
    } else {
        write_.result.bytes = static_cast<uint32_t>(write_.moved);
    }
}

void PosixSerialPort::advanceRead() {
    while (read_.moved < read_.wanted) {
        const ssize_t got = ::read(fd_, read_.target + read_.moved, read_.wanted - read_.moved);
        if (got > 0) {
            read_.moved += static_cast<std::size_t>(got);
            read_.lastByteAt = Clock::now();
        } else if (got == 0) {
            finish(read_, IoStatus::Failed, EIO);  // hung up: the device or its pty is gone
            return;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            finish(read_, IoStatus::Failed, static_cast<uint32_t>(errno));
            return;
        } else {
            break;
        }
    }
    const Clock::time_point now = Clock::now();
    const bool intervalOver =
        read_.moved > 0 &&
        now - read_.lastByteAt >= std::chrono::milliseconds(kReadIntervalTimeoutMs);
    if (read_.moved == read_.wanted || intervalOver || now >= read_.deadline) {
        finish(read_, IoStatus::Complete, 0);
    } else {
        read_.result.bytes = static_cast<uint32_t>(read_.moved);
    }
}

IoResult PosixSerialPort::poll(Transfer& transfer, void (PosixSerialPort::*advance)()) {
    if (fd_ < 0) return IoResult{IoStatus::Failed, 0, EBADF};
    if (!transfer.started) return IoResult{IoStatus::Failed, 0, EINVAL};
    if (!transfer.finished) (this->*advance)();
    return transfer.result;
}

IoResult PosixSerialPort::pollWrite() { return poll(write_, &PosixSerialPort::advanceWrite); }

IoResult PosixSerialPort::pollRead() { return poll(read_, &PosixSerialPort::advanceRead); }

void PosixSerialPort::purge() {
    if (fd_ < 0) return;
    tcflush(fd_, TCIOFLUSH);
    for (Transfer* transfer : {&read_, &write_}) {
        if (transfer->started && !transfer->finished)
            finish(*transfer, IoStatus::Failed, ECANCELED);
    }
}

void PosixSerialPort::waitForIo(unsigned milliseconds) {
    if (fd_ < 0) return;
    Clock::time_point wakeAt = Clock::now() + std::chrono::milliseconds(milliseconds);
    short events = 0;
    if (read_.started && !read_.finished) {
        events |= POLLIN;
        wakeAt = std::min(wakeAt, read_.deadline);
        if (read_.moved > 0)
            wakeAt = std::min(wakeAt,
                              read_.lastByteAt + std::chrono::milliseconds(kReadIntervalTimeoutMs));
    }
    if (write_.started && !write_.finished) {
        events |= POLLOUT;
        wakeAt = std::min(wakeAt, write_.deadline);
    }
    if (events == 0) return;
    // Rounded up, so that a wait for a deadline does not wake just before it and spin.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now());
    pollfd watched{fd_, events, 0};
    const long long timeoutMs = std::clamp<long long>(left.count(), 0, INT_MAX);
    ::poll(&watched, 1, static_cast<int>(timeoutMs));
}

}  // namespace kd215
