// The serial seam in the page: the engine's SerialPort over the page's line module (Web Serial or
// the demo controller), with the read time-outs measured on the page's clock.
#pragma once

#include "link/serial_port.h"

namespace kd215 {

// The error code a read or write reports when the adapter was pulled out or the port failed:
// the code the program shows for an unplugged adapter on Windows (ERROR_ACCESS_DENIED).
constexpr uint32_t kLineLostError = 5;

class WebSerialPort final : public SerialPort {
public:
    OpenResult open(const std::string& name) override;
    bool isOpen() const override { return open_; }
    void close() override;
    void startWrite(const uint8_t* data, std::size_t n) override;
    IoResult pollWrite() override;
    void startRead(uint8_t* into, std::size_t n) override;
    IoResult pollRead() override;
    void purge() override;
    void waitForIo(unsigned milliseconds) override;

private:
    bool open_ = false;
    bool readPending_ = false;
    uint8_t* readInto_ = nullptr;
    std::size_t readWanted_ = 0;
    std::size_t readGot_ = 0;
    double readStartedMs_ = 0;
    double lastByteMs_ = 0;
};

}  // namespace kd215
