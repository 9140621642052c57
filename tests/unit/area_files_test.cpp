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

}  // namespace
}  // namespace kd215
