// The area files: raw little-endian records with no header, one layout per area.
#include "config/area_files.h"

#include <cstring>

namespace kd215 {

namespace {

constexpr std::size_t kCommonBytes = 4;
constexpr std::size_t kChannelRecord = 10;
constexpr std::size_t kSceneRecord = 10;
constexpr std::size_t kStepRecord = 12;
// A program file holds the first twelve of the fourteen steps and no end step.
constexpr int kStepsInFile = 12;

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void putLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void encodeSettings(const ConfigImage& image, uint8_t* p) {
    p[0] = image.common.operatingMode;
    p[1] = image.common.commonInputMode;
    p[2] = image.common.switchOnTime;
    p[3] = image.common.switchOffTime;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = image.channels[i];
        uint8_t* r = p + kCommonBytes + i * kChannelRecord;
        r[0] = c.minLevel;
        r[1] = c.maxLevel;
        putLe16(r + 2, c.riseTime);
        putLe16(r + 4, c.duration);
        putLe16(r + 6, c.fallTime);
        r[8] = c.inputInverted;
        r[9] = c.reserved;
    }
}

void decodeSettings(const uint8_t* p, ConfigImage& image) {
    image.common.operatingMode = p[0];
    image.common.commonInputMode = p[1];
    image.common.switchOnTime = p[2];
    image.common.switchOffTime = p[3];
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings& c = image.channels[i];
        const uint8_t* r = p + kCommonBytes + i * kChannelRecord;
        c.minLevel = r[0];
        c.maxLevel = r[1];
        c.riseTime = le16(r + 2);
        c.duration = le16(r + 4);
        c.fallTime = le16(r + 6);
        c.inputInverted = r[8];
        c.reserved = r[9];
    }
}

void encodeScenes(const ConfigImage& image, uint8_t* p) {
    for (int s = 0; s < kSceneCount; ++s) {
        uint8_t* r = p + s * kSceneRecord;
        std::memcpy(r, image.scenes[s].levels.data(), kChannelCount);
        putLe16(r + 8, image.scenes[s].riseTime);
    }
}

void decodeScenes(const uint8_t* p, ConfigImage& image) {
    for (int s = 0; s < kSceneCount; ++s) {
        const uint8_t* r = p + s * kSceneRecord;
        std::memcpy(image.scenes[s].levels.data(), r, kChannelCount);
        image.scenes[s].riseTime = le16(r + 8);
    }
}

void encodeProgram(const Program& program, uint8_t* p) {
    for (int k = 0; k < kStepsInFile; ++k) {
        uint8_t* r = p + k * kStepRecord;
        std::memcpy(r, program.steps[k].levels.data(), kChannelCount);
        putLe16(r + 8, program.steps[k].riseTime);
        putLe16(r + 10, program.steps[k].duration);
    }
}

void decodeProgram(const uint8_t* p, Program& program) {
    for (int k = 0; k < kStepsInFile; ++k) {
        const uint8_t* r = p + k * kStepRecord;
        std::memcpy(program.steps[k].levels.data(), r, kChannelCount);
        program.steps[k].riseTime = le16(r + 8);
        program.steps[k].duration = le16(r + 10);
    }
}

}  // namespace

std::size_t areaFileSize(ConfigArea area) {
    return isDataArea(area) ? areaBlock(area).fileSize : 0;
}

std::vector<uint8_t> encodeAreaFile(const ConfigImage& image, ConfigArea area) {
    std::vector<uint8_t> bytes(areaFileSize(area));
    switch (area) {
        case ConfigArea::Settings: encodeSettings(image, bytes.data()); break;
        case ConfigArea::Scenes: encodeScenes(image, bytes.data()); break;
        case ConfigArea::Program1: encodeProgram(image.programs[0], bytes.data()); break;
        case ConfigArea::Program2: encodeProgram(image.programs[1], bytes.data()); break;
        default: break;
    }
    return bytes;
}

bool decodeAreaFile(const uint8_t* bytes, std::size_t size, ConfigArea area, ConfigImage& image) {
    const std::size_t needed = areaFileSize(area);
    // A short file would leave the area half old, half new: take nothing from it.
    if (needed == 0 || size < needed) return false;
    switch (area) {
        case ConfigArea::Settings: decodeSettings(bytes, image); break;
        case ConfigArea::Scenes: decodeScenes(bytes, image); break;
        case ConfigArea::Program1: decodeProgram(bytes, image.programs[0]); break;
        case ConfigArea::Program2: decodeProgram(bytes, image.programs[1]); break;
        default: return false;
    }
    return true;
}

}  // namespace kd215
