// Area files: byte layouts, round trips, and what a short or foreign file does to the image.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/area_files.h"

namespace kd215 {
namespace {

bool sameImage(const ConfigImage& a, const ConfigImage& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

ConfigImage busyImage() {
    ConfigImage image = defaultConfigImage();
    uint8_t n = 3;
    for (Scene& s : image.scenes) {
        for (auto& l : s.levels) l = n += 7;
        s.riseTime = static_cast<uint16_t>(n * 3);
    }
    for (Program& p : image.programs) {
        for (ProgramStep& step : p.steps) {
            for (auto& l : step.levels) l = n += 5;
            step.riseTime = static_cast<uint16_t>(n * 2);
            step.duration = static_cast<uint16_t>(n * 4 + 1);
        }
        p.endStep = 13;
    }
    for (ChannelSettings& c : image.channels) {
        c = {n, static_cast<uint8_t>(n + 1), 500, 600, 999, 0, static_cast<uint8_t>(n + 2)};
        n += 11;
    }
    image.channels[1].inputInverted = 1;
    image.channels[2].inputInverted = 255;
    image.common = {9, 3, 98, 97};  // out-of-range modes are carried as they are
    return image;
}

TEST(AreaFiles, SizesAndSettingsLayout) {
    EXPECT_EQ(areaFileSize(ConfigArea::Settings), 84u);
    EXPECT_EQ(areaFileSize(ConfigArea::Scenes), 80u);
    EXPECT_EQ(areaFileSize(ConfigArea::Program1), 144u);
    EXPECT_EQ(areaFileSize(ConfigArea::Program2), 144u);
    EXPECT_EQ(areaFileSize(ConfigArea::Version), 0u);

    const ConfigImage image = busyImage();
    const auto bytes = encodeAreaFile(image, ConfigArea::Settings);
    ASSERT_EQ(bytes.size(), 84u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<uint8_t>{9, 3, 98, 97}));
    const uint8_t* ch8 = bytes.data() + 74;
    EXPECT_EQ(ch8[0], image.channels[7].minLevel);
    EXPECT_EQ(ch8[2], 500 & 0xFF);
    EXPECT_EQ(ch8[3], 500 >> 8);
    EXPECT_EQ(ch8[6], 999 & 0xFF);
    EXPECT_EQ(ch8[9], image.channels[7].reserved);
    EXPECT_EQ(bytes[4 + 10 + 8], 1);    // inversion stored as held: 1 ...
    EXPECT_EQ(bytes[4 + 20 + 8], 255);  // ... or 255
}

TEST(AreaFiles, EveryAreaRoundTripsIntoAFreshImage) {
    const ConfigImage image = busyImage();
    ConfigImage loaded = defaultConfigImage();
    for (const AreaBlock& block : kAreaBlocks) {
        const auto bytes = encodeAreaFile(image, block.area);
        ASSERT_TRUE(decodeAreaFile(bytes.data(), bytes.size(), block.area, loaded));
    }
    EXPECT_EQ(std::memcmp(&loaded.channels, &image.channels, sizeof image.channels), 0);
    EXPECT_EQ(std::memcmp(&loaded.common, &image.common, sizeof image.common), 0);
    EXPECT_EQ(std::memcmp(&loaded.scenes, &image.scenes, sizeof image.scenes), 0);
    for (int p = 0; p < 2; ++p) {
        for (int k = 0; k < 12; ++k) {
            EXPECT_EQ(loaded.programs[p].steps[k].levels, image.programs[p].steps[k].levels);
            EXPECT_EQ(loaded.programs[p].steps[k].duration, image.programs[p].steps[k].duration);
        }
    }
}

TEST(AreaFiles, ProgramFileLeavesStepsThirteenFourteenAndEndStep) {
    const ConfigImage source = busyImage();
    const auto bytes = encodeAreaFile(source, ConfigArea::Program1);
    ASSERT_EQ(bytes.size(), 144u);

    ConfigImage target = defaultConfigImage();
    target.programs[0].steps[12].riseTime = 1212;
    target.programs[0].steps[13].levels[3] = 44;
    target.programs[0].endStep = 7;
    ASSERT_TRUE(decodeAreaFile(bytes.data(), bytes.size(), ConfigArea::Program1, target));
    EXPECT_EQ(target.programs[0].steps[11].riseTime, source.programs[0].steps[11].riseTime);
    EXPECT_EQ(target.programs[0].steps[12].riseTime, 1212);
    EXPECT_EQ(target.programs[0].steps[13].levels[3], 44);
    EXPECT_EQ(target.programs[0].endStep, 7);
    // The chosen area decides: a program 1 file loaded as program 2 fills program 2.
    ConfigImage other = defaultConfigImage();
    ASSERT_TRUE(decodeAreaFile(bytes.data(), bytes.size(), ConfigArea::Program2, other));
    EXPECT_EQ(other.programs[1].steps[0].levels, source.programs[0].steps[0].levels);
    EXPECT_EQ(other.programs[0].steps[0].levels, defaultConfigImage().programs[0].steps[0].levels);
}

TEST(AreaFiles, ShortFileLeavesTheImageExactlyAsItWas) {
    const ConfigImage source = busyImage();
    const auto scenes = encodeAreaFile(source, ConfigArea::Scenes);  // 80 bytes
    ConfigImage target = defaultConfigImage();
    target.channels[0].riseTime = 321;
    const ConfigImage before = target;
    EXPECT_FALSE(decodeAreaFile(scenes.data(), scenes.size(), ConfigArea::Settings, target));
    EXPECT_TRUE(sameImage(before, target));

    const auto program = encodeAreaFile(source, ConfigArea::Program2);
    EXPECT_FALSE(decodeAreaFile(program.data(), 143, ConfigArea::Program2, target));
    EXPECT_FALSE(decodeAreaFile(program.data(), 0, ConfigArea::Scenes, target));
    EXPECT_TRUE(sameImage(before, target));
}

TEST(AreaFiles, SettingsFileLoadedAsScenesTakesItsFirst80Bytes) {
    const ConfigImage source = busyImage();
    const auto settings = encodeAreaFile(source, ConfigArea::Settings);
    ConfigImage target = defaultConfigImage();
    ASSERT_TRUE(decodeAreaFile(settings.data(), settings.size(), ConfigArea::Scenes, target));
    EXPECT_EQ(target.scenes[0].levels[0], 9);  // operatingMode byte
    EXPECT_EQ(target.scenes[7].riseTime, settings[78] | (settings[79] << 8));
    const ConfigImage defaults = defaultConfigImage();
    EXPECT_EQ(std::memcmp(&target.channels, &defaults.channels, sizeof target.channels), 0);
}

}  // namespace
}  // namespace kd215
