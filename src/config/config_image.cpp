// The image's defaults, the area table and the level conversions.
#include "config/config_image.h"

#include <algorithm>
#include <cctype>

namespace kd215 {

const std::array<AreaBlock, kDataAreaCount> kAreaBlocks = {{
    {ConfigArea::Settings, 0x0004, 68, "\tUstaw.", "ust", 84, 0},
    {ConfigArea::Scenes, 0x0050, 80, "\tSceny", "sce", 80, 0},
    {ConfigArea::Program1, 0x00A0, 170, "\tPgm1", "pg1", 144, 12},
    {ConfigArea::Program2, 0x014A, 170, "\tPgm2", "pg2", 144, 12},
}};

bool isDataArea(ConfigArea area) {
    const int value = static_cast<int>(area);
    return value >= 0 && value < kDataAreaCount;
}

const AreaBlock& areaBlock(ConfigArea area) {
    return kAreaBlocks[static_cast<std::size_t>(area)];
}

int programFileSteps() { return areaBlock(ConfigArea::Program1).fileSteps; }

std::string lowerFileExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

ConfigArea areaOfFileName(const std::string& path) {
    const std::string ext = lowerFileExtension(path);
    for (const AreaBlock& block : kAreaBlocks) {
        if (ext == block.fileExtension) return block.area;
    }
    return ConfigArea::NoArea;
}

ConfigArea nextChainArea(ConfigArea area) {
    switch (area) {
        case ConfigArea::Settings: return ConfigArea::Scenes;
        case ConfigArea::Scenes: return ConfigArea::Program1;
        case ConfigArea::Program1: return ConfigArea::Program2;
        default: return ConfigArea::NoArea;
    }
}

const char* areaLabel(ConfigArea area) {
    if (isDataArea(area)) return areaBlock(area).statusLabel;
    switch (area) {
        case ConfigArea::Version: return "\tWersja";
        case ConfigArea::Restart: return "\tN/A";
        default: return "";
    }
}

const char* actionLabel(TransferAction action) {
    static const char* const kActionLabels[] = {
        "\tZapis do Kd215", "\tOdczyt z Kd215", "\tWeryfikacja",
        "\tOdczyt z pliku", "\tZapis do pliku", "\tN/A",
    };
    const int value = static_cast<int>(action);
    if (value < 0 || value > static_cast<int>(TransferAction::NoAction)) return kActionLabels[5];
    return kActionLabels[value];
}

ConfigImage defaultConfigImage() {
    ConfigImage image{};
    for (Program& program : image.programs) program.endStep = 0;
    // A raw byte on the 0..255 scale, which the channel editor shows as 39 %.
    for (ChannelSettings& channel : image.channels) channel.maxLevel = 100;
    image.common.operatingMode = static_cast<uint8_t>(OperatingMode::Manual1Channel);
    image.common.commonInputMode = static_cast<uint8_t>(CommonInputMode::Normal);
    image.common.switchOnTime = 30;
    image.common.switchOffTime = 30;
    return image;
}

unsigned levelToPercent(unsigned level) { return level * 100 / 255; }

uint8_t percentToLevel(unsigned percent) { return static_cast<uint8_t>(percent * 255u / 100u); }

}  // namespace kd215
