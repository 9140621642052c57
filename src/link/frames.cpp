// The wire protocol: checksum, request frames, payload layouts and the tests a reply must pass.
#include "link/frames.h"

#include <cstring>

namespace kd215 {

const std::array<uint8_t, 3> kProbeFrame = {0x1B, 0x03, 0xE2};
const std::array<uint8_t, 3> kAckFrame = {0x06, 0x03, 0xF7};
const std::array<uint8_t, 3> kNakFrame = {0x15, 0x03, 0xE8};
const std::array<uint8_t, 3> kVersionRequestFrame = {0x12, 0x03, 0xEB};
const std::array<uint8_t, 3> kRestartFrame = {0x0F, 0x03, 0xEE};


namespace {

// Offsets inside the settings payload.
constexpr std::size_t kMaskOffset = 0;
constexpr std::size_t kModesOffset = 1;
constexpr std::size_t kSwitchOnOffset = 2;
constexpr std::size_t kSwitchOffOffset = 3;
constexpr std::size_t kMinLevelOffset = 4;
constexpr std::size_t kMaxLevelOffset = 12;
constexpr std::size_t kRiseOffset = 20;
constexpr std::size_t kDurationOffset = 36;
constexpr std::size_t kFallOffset = 52;

constexpr std::size_t kEndStepOffset = 168;
constexpr std::size_t kFillerOffset = 169;

int programIndex(ConfigArea area) { return area == ConfigArea::Program1 ? 0 : 1; }

void encodeSettings(const ConfigImage& image, uint8_t* p) {
    uint8_t mask = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        if (image.channels[i].inputInverted != 0) mask = static_cast<uint8_t>(mask | (1u << i));
    }
    p[kMaskOffset] = mask;
    p[kModesOffset] = static_cast<uint8_t>((image.common.commonInputMode << 4) |
                                           image.common.operatingMode);
    p[kSwitchOnOffset] = image.common.switchOnTime;
    p[kSwitchOffOffset] = image.common.switchOffTime;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = image.channels[i];
        p[kMinLevelOffset + i] = c.minLevel;
        p[kMaxLevelOffset + i] = c.maxLevel;
        writeLe16(p + kRiseOffset + 2 * i, c.riseTime);
        writeLe16(p + kDurationOffset + 2 * i, c.duration);
        writeLe16(p + kFallOffset + 2 * i, c.fallTime);
    }
}

void decodeSettings(const uint8_t* p, ConfigImage& image) {
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings& c = image.channels[i];
        c.inputInverted = (p[kMaskOffset] >> i) & 1u;
        c.minLevel = p[kMinLevelOffset + i];
        c.maxLevel = p[kMaxLevelOffset + i];
        c.riseTime = readLe16(p + kRiseOffset + 2 * i);
        c.duration = readLe16(p + kDurationOffset + 2 * i);
        c.fallTime = readLe16(p + kFallOffset + 2 * i);
    }
    image.common.operatingMode = p[kModesOffset] & 0x0F;
    image.common.commonInputMode = p[kModesOffset] >> 4;
    image.common.switchOnTime = p[kSwitchOnOffset];
    image.common.switchOffTime = p[kSwitchOffOffset];
}

void encodeProgram(const Program& program, uint8_t* p) {
    encodeSteps(program, kStepCount, p);
    p[kEndStepOffset] = program.endStep;
    p[kFillerOffset] = 0xFF;
}

void decodeProgram(const uint8_t* p, Program& program) {
    decodeSteps(p, kStepCount, program);
    // The controller keeps the end step in the low nibble; the high one carries nothing for us.
    program.endStep = p[kEndStepOffset] & 0x0F;
}

}  // namespace

uint8_t FrameChecksum(const uint8_t* frame, std::size_t payloadLength) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < payloadLength + kFrameOverhead; ++i) sum += frame[i];
    return static_cast<uint8_t>(0u - sum);
}

void encodeAreaPayload(const ConfigImage& image, ConfigArea area, uint8_t* payload) {
    switch (area) {
        case ConfigArea::Settings: encodeSettings(image, payload); break;
        case ConfigArea::Scenes: encodeScenes(image, payload); break;
        case ConfigArea::Program1:
        case ConfigArea::Program2: encodeProgram(image.programs[programIndex(area)], payload); break;
        default: break;
    }
}

std::size_t buildBlockRequest(FrameBuffer& tx, ConfigArea area, TransferAction action,
                              uint32_t transferAddress, const ConfigImage& image) {
    const AreaBlock& block = areaBlock(area);
    const bool write = action == TransferAction::WriteController;
    const std::size_t payloadLength = write ? block.length : 0;
    tx[0] = static_cast<uint8_t>(write ? FrameCode::WriteBlock : FrameCode::ReadBlock);
    tx[1] = kBlockSelector;
    tx[2] = static_cast<uint8_t>(transferAddress & 0xFF);
    tx[3] = static_cast<uint8_t>((transferAddress >> 8) & 0xFF);
    tx[4] = block.length;  // a read request names the length it asks for
    if (write) encodeAreaPayload(image, area, tx.data() + kPayloadOffset);
    const std::size_t checksumAt = kPayloadOffset + payloadLength;
    tx[checksumAt] = 0;
    tx[checksumAt] = FrameChecksum(tx.data(), payloadLength);
    return payloadLength + kFrameOverhead;
}

bool isAcknowledgement(const uint8_t* rx, std::size_t received) {
    return received >= kAckFrame.size() && std::memcmp(rx, kAckFrame.data(), kAckFrame.size()) == 0;
}

bool isNakFrame(const uint8_t* rx, std::size_t received) {
    return received == kNakFrame.size() && std::memcmp(rx, kNakFrame.data(), kNakFrame.size()) == 0;
}

BlockReplyCheck checkBlockReply(const uint8_t* rx, std::size_t received, uint32_t transferAddress) {
    BlockReplyCheck check;
    if (received > kFrameBufferSize) received = kFrameBufferSize;
    const bool nak = received >= 1 && rx[0] == static_cast<uint8_t>(FrameCode::Nak);
    if (received > 4) check.payloadLength = rx[4];
    const bool countMatches = received > 4 && received == check.payloadLength + kFrameOverhead;
    if (countMatches) check.replyResidue = FrameChecksum(rx, check.payloadLength);
    if (received >= 4) {
        check.replyAddress = static_cast<uint32_t>(rx[2]) + 256u * rx[3];
        if (rx[1] & 0x80) check.replyAddress += 65536u;
    }
    const bool addressMatches = received >= 4 && check.replyAddress == transferAddress;

    if (nak) {
        check.fault = TransferFault::Nak;
    } else if (!countMatches) {
        check.fault = TransferFault::NoData;
        check.faultValue = static_cast<uint32_t>(received);
    } else if (check.replyResidue != 0) {
        check.fault = TransferFault::BadChecksum;
        check.faultValue = check.replyResidue;
    } else if (!addressMatches) {
        check.fault = TransferFault::WrongAddress;
        check.faultValue = check.replyAddress;
    } else {
        check.passed = true;
    }
    return check;
}

bool passesAreaTest(const uint8_t* rx, ConfigArea area, uint32_t transferAddress) {
    const bool dataReply = rx[0] == static_cast<uint8_t>(FrameCode::DataReply);
    if (area == ConfigArea::Version) {
        return dataReply && rx[1] == kVersionSelector && rx[2] == 0 && rx[3] == 0 &&
               rx[4] == kVersionPayloadLength;
    }
    if (!isDataArea(area)) return false;
    if (!dataReply || rx[1] != kBlockSelector || rx[4] != areaBlock(area).length) return false;
    if (area == ConfigArea::Settings) {
        const uint32_t address = static_cast<uint32_t>(rx[2]) + 256u * rx[3];
        return address == transferAddress;
    }
    return true;
}

void decodeAreaPayload(const uint8_t* payload, ConfigArea area, ConfigImage& image) {
    switch (area) {
        case ConfigArea::Settings: decodeSettings(payload, image); break;
        case ConfigArea::Scenes: decodeScenes(payload, image); break;
        case ConfigArea::Program1:
        case ConfigArea::Program2: decodeProgram(payload, image.programs[programIndex(area)]); break;
        default: break;
    }
}

FirmwareVersion firmwareVersionOf(const uint8_t* versionReply) {
    return {versionReply[kPayloadOffset + 1], versionReply[kPayloadOffset]};
}

std::string firmwareVersionText(FirmwareVersion version) {
    if (version.major >= 10) return "?.??";
    std::string text(1, static_cast<char>('0' + version.major));
    text += '.';
    if (version.minor > 99) return text + "??";
    text += static_cast<char>('0' + version.minor / 10);
    text += static_cast<char>('0' + version.minor % 10);
    return text;
}

}  // namespace kd215
