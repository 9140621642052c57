// The area files: what a program file carries and what it leaves in the image.
#include <gtest/gtest.h>

#include "config/area_files.h"

namespace kd215 {
namespace {

TEST(AreaFiles, ProgramFileKeepsStepsThirteenAndFourteenAndTheEndStep) {
    ConfigImage source = defaultConfigImage();
    source.programs[0].steps[11].riseTime = 1111;
    source.programs[0].steps[12].riseTime = 1;
    const auto bytes = encodeAreaFile(source, ConfigArea::Program1);
    ConfigImage target = defaultConfigImage();
    target.programs[0].steps[12].riseTime = 1212;
    target.programs[0].steps[13].levels[3] = 44;
    target.programs[0].endStep = 7;
    ASSERT_TRUE(decodeAreaFile(bytes, ConfigArea::Program1, target));
    EXPECT_EQ(target.programs[0].steps[11].riseTime, 1111);
    EXPECT_EQ(target.programs[0].steps[12].riseTime, 1212);
    EXPECT_EQ(target.programs[0].steps[13].levels[3], 44);
    EXPECT_EQ(target.programs[0].endStep, 7);
}

// The files users already keep, byte for byte: the four common settings, then ten bytes per
// channel; a program file's steps twelve bytes each; times little-endian.
TEST(AreaFiles, EachFieldSitsAtItsByte) {
    ConfigImage image = defaultConfigImage();
    image.common = {1, 2, 3, 4};
    image.channels[1] = {5, 6, 0x0807, 0x0A09, 0x0C0B, 13, 14};
    image.programs[0].steps[1] = {{15, 0, 0, 0, 0, 0, 0, 16}, 0x1211, 0x1413};
    const ByteBuffer settings = encodeAreaFile(image, ConfigArea::Settings);
    EXPECT_EQ(ByteBuffer(settings.begin(), settings.begin() + 4), (ByteBuffer{1, 2, 3, 4}));
    EXPECT_EQ(ByteBuffer(settings.begin() + 14, settings.begin() + 24), (ByteBuffer{5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    const ByteBuffer program = encodeAreaFile(image, ConfigArea::Program1);
    EXPECT_EQ(ByteBuffer(program.begin() + 12, program.begin() + 24), (ByteBuffer{15, 0, 0, 0, 0, 0, 0, 16, 0x11, 0x12, 0x13, 0x14}));
}

// A file one byte short would leave its area half old, half new: it loads nothing.
TEST(AreaFiles, AFileOneByteShortIsRefusedAndTheWholeOneLoads) {
    const struct {
        ConfigArea area;
        std::size_t size;
    } cases[] = {{ConfigArea::Settings, 84}, {ConfigArea::Scenes, 80}, {ConfigArea::Program1, 144},
                 {ConfigArea::Program2, 144}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ConfigImage image = defaultConfigImage();
        const ByteBuffer whole(c.size, 0x01);
        EXPECT_FALSE(decodeAreaFile(ByteBuffer(whole.begin(), whole.end() - 1), c.area, image));
        EXPECT_EQ(encodeAreaFile(image, c.area), encodeAreaFile(defaultConfigImage(), c.area));
        EXPECT_TRUE(decodeAreaFile(whole, c.area, image));
        EXPECT_NE(encodeAreaFile(image, c.area), encodeAreaFile(defaultConfigImage(), c.area));
    }
}

// A program file says which program it is only by its name, in whatever case the user typed it;
// a dot in a folder's name is no extension.
TEST(AreaFiles, ANameTellsItsAreaByItsExtensionInAnyCase) {
    const struct {
        const char* name;
        ConfigArea area;
    } cases[] = {{"hall.pg2", ConfigArea::Program2}, {"site/HALL.PG2", ConfigArea::Program2},
                 {"hall.Pg1", ConfigArea::Program1}, {"a.UST", ConfigArea::Settings},
                 {"a.sce", ConfigArea::Scenes},     {"a.pg2.json", ConfigArea::NoArea},
                 {"dir.pg2/hall", ConfigArea::NoArea}, {"pg2", ConfigArea::NoArea}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(areaOfFileName(c.name), c.area);
    }
}

}  // namespace
}  // namespace kd215
