// The area files: raw little-endian records with no header, one layout per area.
#include "config/area_files.h"

#include "config/records.h"

namespace kd215 {

namespace {

constexpr std::size_t kCommonBytes = 4;
constexpr std::size_t kChannelRecord = 10;

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
        writeLe16(r + 2, c.riseTime);
        writeLe16(r + 4, c.duration);
        writeLe16(r + 6, c.fallTime);
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
        c.riseTime = readLe16(r + 2);
        c.duration = readLe16(r + 4);
        c.fallTime = readLe16(r + 6);
        c.inputInverted = r[8];
        c.reserved = r[9];
    }
}

}  // namespace

std::size_t areaFileSize(ConfigArea area) {
    return isDataArea(area) ? areaBlock(area).fileSize : 0;
}

ByteBuffer encodeAreaFile(const ConfigImage& image, ConfigArea area) {
    ByteBuffer bytes(areaFileSize(area));
    switch (area) {
        case ConfigArea::Settings: encodeSettings(image, bytes.data()); break;
        case ConfigArea::Scenes: encodeScenes(image, bytes.data()); break;
        case ConfigArea::Program1: encodeSteps(image.programs[0], areaBlock(area).fileSteps, bytes.data()); break;
        case ConfigArea::Program2: encodeSteps(image.programs[1], areaBlock(area).fileSteps, bytes.data()); break;
        default: break;
    }
    return bytes;
}

bool decodeAreaFile(const ByteBuffer& bytes, ConfigArea area, ConfigImage& image) {
    const std::size_t needed = areaFileSize(area);
    // A short file would leave the area half old, half new: take nothing from it.
    if (needed == 0 || bytes.size() < needed) return false;
    switch (area) {
        case ConfigArea::Settings: decodeSettings(bytes.data(), image); break;
        case ConfigArea::Scenes: decodeScenes(bytes.data(), image); break;
        case ConfigArea::Program1: decodeSteps(bytes.data(), areaBlock(area).fileSteps, image.programs[0]); break;
        case ConfigArea::Program2: decodeSteps(bytes.data(), areaBlock(area).fileSteps, image.programs[1]); break;
        default: return false;
    }
    return true;
}

}  // namespace kd215
