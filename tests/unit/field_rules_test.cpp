// The editors' field rules and the image's level conversions.
#include <gtest/gtest.h>

#include "config/config_image.h"
#include "editors/field_rules.h"

namespace kd215 {
namespace {

TEST(ParseFieldNumber, IntegerConstantConventions) {
    EXPECT_EQ(parseFieldNumber("12"), 12);
    EXPECT_EQ(parseFieldNumber("12abc"), 12);
    EXPECT_EQ(parseFieldNumber("  -5"), -5);
    EXPECT_EQ(parseFieldNumber("+7"), 7);
    EXPECT_EQ(parseFieldNumber("030"), 24);
    EXPECT_EQ(parseFieldNumber("010"), 8);
    EXPECT_EQ(parseFieldNumber("0x1F"), 31);
    EXPECT_EQ(parseFieldNumber("0X3E7"), 999);
    EXPECT_EQ(parseFieldNumber("09"), 0);
    EXPECT_EQ(parseFieldNumber("0"), 0);
    EXPECT_EQ(parseFieldNumber("-0x10"), -16);
}

TEST(ParseFieldNumber, TextThatIsNotANumberFails) {
    EXPECT_FALSE(parseFieldNumber(""));
    EXPECT_FALSE(parseFieldNumber("???"));
    EXPECT_FALSE(parseFieldNumber("abc"));
    EXPECT_FALSE(parseFieldNumber("-"));
    EXPECT_FALSE(parseFieldNumber("   "));
    EXPECT_FALSE(parseFieldNumber("- 5"));
}

TEST(ParseFieldNumber, ReadsOnlyTheFirstNineCharacters) {
    EXPECT_EQ(parseFieldNumber("1234567890"), 123456789);
    EXPECT_FALSE(parseFieldNumber("         5"));  // the digit is the tenth character
}

TEST(ReadUnsignedField, LikeAnUnsignedDialogRead) {
    EXPECT_EQ(readUnsignedField("8"), 8u);
    EXPECT_EQ(readUnsignedField("  14"), 14u);
    EXPECT_EQ(readUnsignedField("-5"), 0u);  // no sign, whatever Wine's GetDlgItemInt says
    EXPECT_EQ(readUnsignedField("+5"), 0u);
    EXPECT_EQ(readUnsignedField("12abc"), 0u);
    EXPECT_EQ(readUnsignedField(""), 0u);
    EXPECT_EQ(readUnsignedField("99999999999"), 0u);
    EXPECT_EQ(readUnsignedField("010"), 10u);  // decimal, not octal
}

TEST(PageStep, QuarterMarksOfEachRange) {
    EXPECT_EQ(pageStep(60, 100, true), 75u);
    EXPECT_EQ(pageStep(75, 100, true), 100u);
    EXPECT_EQ(pageStep(100, 100, true), 100u);
    EXPECT_EQ(pageStep(25, 100, false), 0u);
    EXPECT_EQ(pageStep(0, 100, false), 0u);
    EXPECT_EQ(pageStep(600, 999, true), 749u);
    EXPECT_EQ(pageStep(749, 999, true), 999u);
    EXPECT_EQ(pageStep(250, 999, false), 249u);
    EXPECT_EQ(pageStep(249, 999, false), 0u);
    EXPECT_EQ(pageStep(30, 99, true), 49u);
    EXPECT_EQ(pageStep(30, 99, false), 24u);
    EXPECT_EQ(pageStep(99, 99, true), 99u);
}

TEST(PageStep, FromAboveTheRangeStepsDownToMaxAndNeverLeavesIt) {
    EXPECT_EQ(pageStep(1500, 999, false), 999u);
    EXPECT_EQ(pageStep(1500, 999, true), 999u);
    EXPECT_EQ(pageStep(150, 100, false), 100u);
}

TEST(LimitRule, LoweringHalfKeepsTheGap) {
    uint16_t upper = 39, lower = 35;  // one line left from 40
    applyLoweringHalf(upper, lower);
    EXPECT_EQ(upper, 39);
    EXPECT_EQ(lower, 29);

    upper = 0;
    lower = 5;  // a page left from 20
    applyLoweringHalf(upper, lower);
    EXPECT_EQ(upper, 10);
    EXPECT_EQ(lower, 0);

    upper = 60;
    lower = 20;
    applyLoweringHalf(upper, lower);
    EXPECT_EQ(upper, 60);
    EXPECT_EQ(lower, 20);
}

TEST(LimitRule, RaisingHalfKeepsTheGap) {
    uint16_t upper = 50, lower = 95;  // the lower thumb dragged to 95
    applyRaisingHalf(upper, lower);
    EXPECT_EQ(lower, 90);
    EXPECT_EQ(upper, 100);

    upper = 5;
    lower = 0;  // an upper limit typed below the gap is raised
    applyRaisingHalf(upper, lower);
    EXPECT_EQ(upper, 10);

    upper = 60000;  // typed numbers hold any 16-bit value without wrapping the rule
    lower = 10;
    applyRaisingHalf(upper, lower);
    EXPECT_EQ(upper, 60000);
}

TEST(LevelConversions, TruncateBothWays) {
    EXPECT_EQ(percentToLevel(50), 127);
    EXPECT_EQ(levelToPercent(127), 49u);
    EXPECT_EQ(percentToLevel(100), 255);
    EXPECT_EQ(levelToPercent(255), 100u);
    EXPECT_EQ(levelToPercent(254), 99u);
    EXPECT_EQ(levelToPercent(2), 0u);
    EXPECT_EQ(percentToLevel(1), 2);
    EXPECT_EQ(percentToLevel(10), 25);
    EXPECT_EQ(levelToPercent(128), 50u);
    EXPECT_EQ(percentToLevel(150), static_cast<uint8_t>(150 * 255 / 100));  // low 8 bits kept
    int unchanged = 0;
    for (unsigned p = 0; p <= 100; ++p) {
        if (levelToPercent(percentToLevel(p)) == p) ++unchanged;
    }
    EXPECT_EQ(unchanged, 6);  // 0, 20, 40, 60, 80, 100
}

TEST(ConfigImageDefaults, StartUpValues) {
    const ConfigImage image = defaultConfigImage();
    for (const ChannelSettings& c : image.channels) {
        EXPECT_EQ(c.maxLevel, 100);
        EXPECT_EQ(levelToPercent(c.maxLevel), 39u);
        EXPECT_EQ(c.minLevel, 0);
    }
    EXPECT_EQ(image.common.switchOnTime, 30);
    EXPECT_EQ(image.common.switchOffTime, 30);
    EXPECT_EQ(image.programs[0].endStep, 0);
    EXPECT_EQ(image.programs[1].endStep, 0);
    EXPECT_EQ(nextChainArea(ConfigArea::Settings), ConfigArea::Scenes);
    EXPECT_EQ(nextChainArea(ConfigArea::Program1), ConfigArea::Program2);
    EXPECT_EQ(nextChainArea(ConfigArea::Program2), ConfigArea::NoArea);
    EXPECT_STREQ(areaLabel(ConfigArea::Restart), "\tN/A");
    EXPECT_STREQ(areaLabel(ConfigArea::NoArea), "");
}

}  // namespace
}  // namespace kd215
