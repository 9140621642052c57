// The wire protocol: frame codes, checksum, request building, reply tests and payload decoding.
// Bytes in, result out: nothing here touches a port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_image.h"
#include "config/records.h"

namespace kd215 {

enum class FrameCode : uint8_t {
    WriteBlock = 0x11,
    ReadBlock = 0x12,
    DataReply = 0x13,
    Ack = 0x06,
    Nak = 0x15,
    Probe = 0x1B,
    RestartController = 0x0F,
};

constexpr std::size_t kFrameBufferSize = 270;
// Five header bytes (code, selector, address low and high, length) before a block frame's
// payload, and the checksum after it.
constexpr std::size_t kPayloadOffset = 5;
constexpr std::size_t kFrameOverhead = kPayloadOffset + 1;
constexpr uint8_t kBlockSelector = 0x46;
constexpr uint8_t kVersionSelector = 0x06;
// Payload bytes of the version reply (minor, major).
constexpr std::size_t kVersionPayloadLength = 2;

using FrameBuffer = std::array<uint8_t, kFrameBufferSize>;

// The short frames, byte for byte.
extern const std::array<uint8_t, 3> kProbeFrame;           // 1B 03 E2
extern const std::array<uint8_t, 3> kAckFrame;             // 06 03 F7
extern const std::array<uint8_t, 3> kNakFrame;             // 15 03 E8
extern const std::array<uint8_t, 3> kVersionRequestFrame;  // 12 03 EB
extern const std::array<uint8_t, 3> kRestartFrame;         // 0F 03 EE

// Negated byte sum of the first payloadLength + kFrameOverhead bytes of `frame`.
// Building: store it in the zeroed checksum byte. Checking: 0 means the frame is intact.
uint8_t FrameChecksum(const uint8_t* frame, std::size_t payloadLength);

// Encodes the area's part of the image into its wire payload (areaBlock(area).length bytes).
void encodeAreaPayload(const ConfigImage& image, ConfigArea area, uint8_t* payload);

// Builds the block request for (area, action) at the start of `tx`: a write frame with the
// encoded payload for WriteController, otherwise a read request. Returns the frame length.
// `area` must be a data area.
std::size_t buildBlockRequest(FrameBuffer& tx, ConfigArea area, TransferAction action,
                              uint32_t transferAddress, const ConfigImage& image);

// The reply to a block write: exactly the acknowledgement in the first three received bytes.
bool isAcknowledgement(const uint8_t* rx, std::size_t received);
// A refusal: exactly one whole NAK frame with a sound checksum, nothing more and nothing less.
bool isNakFrame(const uint8_t* rx, std::size_t received);

// Why a transfer did not end well: first what the reply tests find, then the engine's own.
enum class TransferFault {
    Nak,            // the controller refused the request
    BadChecksum,    // value: the reply's checksum residue
    WrongAddress,   // value: the address the reply carried
    NoData,         // value: the bytes received, fewer (or more) than the reply needs
    ProtocolError,  // the reply passed the frame tests but is not this area's reply
    SystemError,    // value: the port's system error code
    NoPort,         // a controller action with no port open
};

// What the generic block-reply test found.
struct BlockReplyCheck {
    bool passed = false;
    TransferFault fault = TransferFault::NoData;  // when not passed
    uint32_t faultValue = 0;                      // the fault's number, as TransferFault says
    uint8_t payloadLength = 0;  // the reply's own length byte (0 when it never arrived)
    uint32_t replyAddress = 0;
    uint8_t replyResidue = 0;
};

// The generic test of a block or version reply. Only the `received` bytes count: a byte the
// controller did not send in this exchange is never read as part of its answer.
BlockReplyCheck checkBlockReply(const uint8_t* rx, std::size_t received, uint32_t transferAddress);

// The per-area test, applied after the generic test passed (area: a data area or Version).
bool passesAreaTest(const uint8_t* rx, ConfigArea area, uint32_t transferAddress);

// Decodes a reply payload (rx + kPayloadOffset) into the image's part of a data area. Call only after both
// tests passed; the engine never lets an unchecked reply reach the image.
void decodeAreaPayload(const uint8_t* payload, ConfigArea area, ConfigImage& image);

// The firmware version a controller reports, as numbers; each program words it its own way.
struct FirmwareVersion {
    unsigned major = 0;
    unsigned minor = 0;
};

// The version in a version reply that passed both tests: payload byte 1 is the major, byte 0 the minor.
FirmwareVersion firmwareVersionOf(const uint8_t* versionReply);

// The version as both programs print it: "1.05"; a major over 9 is "?.??", a minor over 99 "1.??".
std::string firmwareVersionText(FirmwareVersion version);

}  // namespace kd215
