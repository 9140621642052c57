// The editors' portable rules: scroll codes, number buttons, field checks, and each dialog's load,
// commit checks and store against the image.
#include <gtest/gtest.h>

#include "editors/channel_form.h"
#include "editors/common_settings_form.h"
#include "editors/editor_rules.h"
#include "editors/field_rules.h"
#include "editors/scene_form.h"

namespace kd215 {
namespace {

std::optional<uint16_t> horizontal(int code, uint16_t v, unsigned max, unsigned thumb = 0) {
    return scrolledValue(ScrollAxis::Horizontal, code, v, max, thumb);
}
std::optional<uint16_t> vertical(int code, uint16_t v, unsigned max, unsigned thumb = 0) {
    return scrolledValue(ScrollAxis::Vertical, code, v, max, thumb);
}

TEST(ScrollCodes, HorizontalBarGrowsToTheRight) {
    EXPECT_EQ(horizontal(0, 5, 999), 4);      // line left
    EXPECT_EQ(horizontal(0, 0, 999), 0);
    EXPECT_EQ(horizontal(1, 998, 999), 999);  // line right
    EXPECT_EQ(horizontal(1, 999, 999), 999);
    EXPECT_EQ(horizontal(2, 250, 999), 249);  // page left
    EXPECT_EQ(horizontal(3, 600, 999), 749);  // page right
    EXPECT_EQ(horizontal(3, 999, 999), 999);
    EXPECT_EQ(horizontal(4, 3, 999, 321), 321);
    EXPECT_EQ(horizontal(5, 3, 999, 0), 0);
    for (int code : {6, 7, 8, 100}) EXPECT_FALSE(horizontal(code, 3, 999)) << code;
}

TEST(ScrollCodes, VerticalBarGrowsUpwardsWithAnInvertedThumb) {
    EXPECT_EQ(vertical(0, 99, 100), 100);  // line up
    EXPECT_EQ(vertical(0, 100, 100), 100);
    EXPECT_EQ(vertical(1, 1, 100), 0);     // line down
    EXPECT_EQ(vertical(1, 0, 100), 0);
    EXPECT_EQ(vertical(2, 60, 100), 75);   // page up
    EXPECT_EQ(vertical(2, 75, 100), 100);
    EXPECT_EQ(vertical(3, 25, 100), 0);    // page down
    EXPECT_EQ(vertical(4, 50, 100, 0), 100);   // thumb at the top
    EXPECT_EQ(vertical(5, 50, 100, 100), 0);   // thumb at the bottom
    EXPECT_EQ(vertical(5, 50, 99, 30), 69);
    EXPECT_EQ(vertical(4, 50, 100, 500), 0);   // a position past the range is the bottom
    EXPECT_FALSE(vertical(8, 50, 100));
}

TEST(ScrollCodes, LineStepStartsFromAnOutOfRangeNumber) {
    EXPECT_EQ(vertical(1, 150, 100), 149);
    EXPECT_EQ(vertical(0, 150, 100), 150);
    EXPECT_EQ(vertical(3, 150, 100), 100);
    EXPECT_EQ(horizontal(0, 1500, 999), 1499);
    EXPECT_EQ(thumbPosition(ScrollAxis::Vertical, 30, 99), 69);
    EXPECT_EQ(thumbPosition(ScrollAxis::Vertical, 150, 100), -50);
    EXPECT_EQ(thumbPosition(ScrollAxis::Horizontal, 1500, 999), 1500);
}

TEST(NumberButtons, PlusStopsAtTheLimitMinusAtOne) {
    EXPECT_EQ(nextNumber(1, 8), 2u);
    EXPECT_FALSE(nextNumber(8, 8));
    EXPECT_EQ(nextNumber(20, 8), 8u);
    EXPECT_EQ(nextNumber(20, 14), 14u);
    EXPECT_EQ(nextNumber(0, 14), 1u);  // an empty or non-numeric field reads 0
    EXPECT_EQ(previousNumber(0), 1u);
    EXPECT_FALSE(previousNumber(1));
    EXPECT_EQ(previousNumber(14), 13u);
}

TEST(FieldChecks, TypingAndLeaving) {
    EXPECT_EQ(valueWhileTyping("1500"), 1500);
    EXPECT_EQ(valueWhileTyping("-5"), 65531);  // low 16 bits, no range test
    EXPECT_EQ(valueWhileTyping("12abc"), 12);
    EXPECT_FALSE(valueWhileTyping("???"));
    EXPECT_EQ(valueOnLeave("0x3E7", 999), 999);
    EXPECT_EQ(valueOnLeave("010", 999), 8);
    EXPECT_EQ(valueOnLeave("12abc", 999), 12);
    EXPECT_FALSE(valueOnLeave("1000", 999));
    EXPECT_FALSE(valueOnLeave("-1", 999));
    EXPECT_FALSE(valueOnLeave("", 99));
    EXPECT_EQ(valueOnLeave("99", 99), 99);
    EXPECT_FALSE(valueOnLeave("100", 99));
    EXPECT_TRUE(isMarkedBad("???"));
    EXPECT_TRUE(isMarkedBad("1?"));
    EXPECT_FALSE(isMarkedBad("123456789?"));  // only the first nine characters are read
    EXPECT_FALSE(isMarkedBad("12"));
}

TEST(ReadUnsignedNumber, TellsAnUnreadableTextFromZero) {
    EXPECT_EQ(readUnsignedNumber("0"), 0u);
    EXPECT_EQ(readUnsignedNumber(" 7"), 7u);
    EXPECT_FALSE(readUnsignedNumber(""));
    EXPECT_FALSE(readUnsignedNumber("12abc"));
    EXPECT_FALSE(readUnsignedNumber("+5"));
    EXPECT_EQ(readUnsignedField("12abc"), 0u);
}

TEST(CommonSettingsForm, LoadsButtonsAndMarksFromTheImage) {
    ConfigImage image = defaultConfigImage();
    image.channels[2].inputInverted = 1;  // as a read from the controller writes it
    image.channels[7].inputInverted = 255;
    image.common.operatingMode = 3;
    image.common.commonInputMode = 2;
    image.common.switchOnTime = 12;
    image.common.switchOffTime = 98;
    const CommonSettingsForm form = loadCommonSettings(image);
    EXPECT_EQ(form.inputInverted, (std::array<bool, 8>{false, false, true, false, false, false, false, true}));
    EXPECT_EQ(form.commonInputButtons, (std::array<bool, 3>{false, false, true}));
    EXPECT_EQ(form.operatingModeButtons, (std::array<bool, 7>{false, false, false, true, false, false, false}));
    EXPECT_EQ(form.workingTimes, (std::array<uint8_t, 2>{12, 98}));
    EXPECT_EQ(inputCheckBoxCaption(0), "Wejście 1");
    EXPECT_EQ(inputCheckBoxCaption(7), "Wejście 8");
}

TEST(CommonSettingsForm, OutOfRangeModesSelectNothingAndStoreSevenAndZero) {
    ConfigImage image = defaultConfigImage();
    image.common.operatingMode = 9;
    image.common.commonInputMode = 3;
    image.channels[0].inputInverted = 1;
    CommonSettingsForm form = loadCommonSettings(image);
    for (bool b : form.operatingModeButtons) EXPECT_FALSE(b);
    for (bool b : form.commonInputButtons) EXPECT_FALSE(b);
    storeCommonSettings(image, form);
    EXPECT_EQ(image.common.operatingMode, 7);
    EXPECT_EQ(image.common.commonInputMode, 0);
    EXPECT_EQ(image.channels[0].inputInverted, 255);
    EXPECT_EQ(image.channels[1].inputInverted, 0);
}

TEST(CommonSettingsForm, StoreTakesTheFirstModeAndAddsTheInputButtons) {
    ConfigImage image = defaultConfigImage();
    CommonSettingsForm form;
    form.operatingModeButtons[6] = true;
    form.operatingModeButtons[4] = true;
    form.commonInputButtons[1] = true;
    form.workingTimes = {0, 99};
    storeCommonSettings(image, form);
    EXPECT_EQ(image.common.operatingMode, 4);
    EXPECT_EQ(image.common.commonInputMode, 1);
    EXPECT_EQ(image.common.switchOnTime, 0);
    EXPECT_EQ(image.common.switchOffTime, 99);
    form.commonInputButtons = {false, true, true};
    storeCommonSettings(image, form);
    EXPECT_EQ(image.common.commonInputMode, 3);
}

TEST(CommonSettingsForm, CommitRefusesAMarkedFieldThenAnOutOfRangeTime) {
    EXPECT_FALSE(refusedTimeField({"30", "30"}, {30, 30}));
    EXPECT_EQ(refusedTimeField({"30", "???"}, {30, 30}), 1);
    EXPECT_EQ(refusedTimeField({"???", "???"}, {30, 30}), 0);
    EXPECT_EQ(refusedTimeField({"30", "149"}, {30, 149}), 1);
    EXPECT_EQ(refusedTimeField({"149", "???"}, {149, 30}), 1);  // the mark comes first
}

TEST(ChannelForm, LoadConvertsTheLimitsToPercent) {
    ChannelSettings channel;
    channel.riseTime = 999;
    channel.duration = 5;
    channel.fallTime = 1000;  // from a file: not held to the editor's range
    channel.maxLevel = 100;
    channel.minLevel = 128;
    EXPECT_EQ(loadChannel(channel), (WorkingChannel{999, 5, 1000, 39, 50}));
}

TEST(ChannelForm, ScrollingAppliesTheMatchingHalfOfTheLimitRule) {
    WorkingChannel w{0, 0, 0, 40, 35};
    ASSERT_TRUE(scrollChannelValue(w, kUpperValue, 0, 0));  // line left on the upper limit
    EXPECT_EQ(w[kUpperValue], 39);
    EXPECT_EQ(w[kLowerValue], 29);

    w = {0, 0, 0, 10, 0};
    scrollChannelValue(w, kUpperValue, 0, 0);
    EXPECT_EQ(w[kUpperValue], 10);

    w = {0, 0, 0, 20, 5};
    scrollChannelValue(w, kUpperValue, 2, 0);  // page left to 0, raised to 10
    EXPECT_EQ(w[kUpperValue], 10);
    EXPECT_EQ(w[kLowerValue], 0);

    w = {0, 0, 0, 50, 30};
    scrollChannelValue(w, kLowerValue, 5, 95);  // the lower thumb dragged to 95
    EXPECT_EQ(w[kLowerValue], 90);
    EXPECT_EQ(w[kUpperValue], 100);

    w = {0, 0, 0, 50, 45};
    scrollChannelValue(w, kLowerValue, 0, 0);  // line left on the lower limit: no rule
    EXPECT_EQ(w, (WorkingChannel{0, 0, 0, 50, 44}));
    w = {0, 0, 0, 9, 0};
    scrollChannelValue(w, kUpperValue, 1, 0);  // line right on the upper limit: no rule either
    EXPECT_EQ(w[kUpperValue], 10);

    w = {600, 0, 0, 50, 0};
    scrollChannelValue(w, kRiseValue, 3, 0);
    EXPECT_EQ(w[kRiseValue], 749);
    EXPECT_FALSE(scrollChannelValue(w, kRiseValue, 7, 0));
    EXPECT_EQ(w[kRiseValue], 749);
}

TEST(ChannelForm, LeavingALimitFieldAppliesTheRule) {
    WorkingChannel w{0, 0, 0, 60, 30};
    ASSERT_TRUE(leaveChannelField(w, kUpperValue, "5"));
    EXPECT_EQ(w[kUpperValue], 10);
    EXPECT_EQ(w[kLowerValue], 0);
    ASSERT_TRUE(leaveChannelField(w, kLowerValue, "95abc"));
    EXPECT_EQ(w[kLowerValue], 90);
    EXPECT_EQ(w[kUpperValue], 100);
    EXPECT_FALSE(leaveChannelField(w, kUpperValue, "101"));
    EXPECT_FALSE(leaveChannelField(w, kRiseValue, "1500"));
    EXPECT_EQ(w, (WorkingChannel{0, 0, 0, 100, 90}));
    ASSERT_TRUE(leaveChannelField(w, kFallValue, "0x3E7"));
    EXPECT_EQ(w[kFallValue], 999);
}

TEST(ChannelForm, CommitChecksInOrder) {
    const std::array<std::string, 5> plain{"1", "2", "3", "50", "20"};
    EXPECT_FALSE(refusedChannelField(plain, {1, 2, 3, 50, 20}));
    EXPECT_EQ(refusedChannelField({"1", "2", "???", "50", "???"}, {1, 2, 3, 50, 20}), 2);
    EXPECT_EQ(refusedChannelField(plain, {1, 1000, 3, 50, 20}), 1);
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 9, 0}), 3);     // loaded with an upper limit of 9
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 101, 20}), 3);
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 100, 91}), 4);
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 50, 41}), 4);
    EXPECT_FALSE(refusedChannelField(plain, {1, 2, 3, 50, 40}));
    EXPECT_EQ(refusedChannelField(plain, {1000, 2, 3, 9, 95}), 0);  // the first failing check decides
}

TEST(ChannelForm, StoreOneChannelOrAll) {
    ConfigImage image = defaultConfigImage();
    image.channels[1].reserved = 0x5A;
    storeChannel(image, 2, {10, 20, 30, 50, 10}, true, false);
    EXPECT_EQ(image.channels[1].riseTime, 10);
    EXPECT_EQ(image.channels[1].duration, 20);
    EXPECT_EQ(image.channels[1].fallTime, 30);
    EXPECT_EQ(image.channels[1].maxLevel, 127);
    EXPECT_EQ(image.channels[1].minLevel, 25);
    EXPECT_EQ(image.channels[1].inputInverted, 255);
    EXPECT_EQ(image.channels[1].reserved, 0x5A);
    EXPECT_EQ(image.channels[0].maxLevel, 100);  // untouched
    EXPECT_EQ(image.channels[2].riseTime, 0);

    storeChannel(image, 5, {1, 2, 3, 100, 90}, false, true);
    for (const ChannelSettings& c : image.channels) {
        EXPECT_EQ(c.riseTime, 1);
        EXPECT_EQ(c.maxLevel, 255);
        EXPECT_EQ(c.minLevel, 229);
        EXPECT_EQ(c.inputInverted, 0);
    }
    EXPECT_EQ(image.channels[1].reserved, 0x5A);
}

TEST(SceneForm, JobsByArea) {
    ASSERT_NE(sceneJobFor(ConfigArea::Scenes), nullptr);
    EXPECT_STREQ(sceneJobFor(ConfigArea::Scenes)->title, "Kd215 : Edycja scen");
    EXPECT_EQ(sceneJobFor(ConfigArea::Scenes)->entryCount, 8u);
    EXPECT_STREQ(sceneJobFor(ConfigArea::Program2)->title, "Kd215 : Edycja programu 2-go");
    EXPECT_EQ(sceneJobFor(ConfigArea::Program1)->entryCount, 14u);
    EXPECT_EQ(sceneJobFor(ConfigArea::Settings), nullptr);
    EXPECT_EQ(sceneJobFor(ConfigArea::NoArea), nullptr);
}

TEST(SceneForm, LoadShowsPercentAndTheEndStep) {
    ConfigImage image = defaultConfigImage();
    image.scenes[2].levels = {255, 127, 2, 51, 128, 0, 254, 1};
    image.scenes[2].riseTime = 999;
    const LoadedEntry scene = loadEntry(image, *sceneJobFor(ConfigArea::Scenes), 3);
    EXPECT_EQ(scene.values, (WorkingEntry{100, 49, 0, 20, 50, 0, 99, 0, 999, 0}));
    EXPECT_FALSE(scene.endStep);

    image.programs[1].steps[4].duration = 77;
    image.programs[1].endStep = 4;
    const SceneJob& program2 = *sceneJobFor(ConfigArea::Program2);
    EXPECT_EQ(loadEntry(image, program2, 5).values[kEntryDurationValue], 77);
    EXPECT_TRUE(loadEntry(image, program2, 5).endStep);
    EXPECT_FALSE(loadEntry(image, program2, 6).endStep);
    EXPECT_FALSE(loadEntry(image, *sceneJobFor(ConfigArea::Program1), 5).endStep);
}

EntryFieldTexts fields(std::initializer_list<const char*> texts) {
    EntryFieldTexts result;
    int j = 0;
    for (const char* t : texts) result[j++] = t;
    return result;
}

TEST(SceneForm, CommitRefusesMarksThenUnreadableOrOutOfRangeFields) {
    const SceneJob& scenes = *sceneJobFor(ConfigArea::Scenes);
    const SceneJob& program = *sceneJobFor(ConfigArea::Program1);
    EXPECT_FALSE(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "100", "999", "0"})));
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "???", "3", "4", "5", "6", "7", "8", "0"})), 2);
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "101", "2", "3", "4", "5", "6", "7", "???", "0"})), 8);
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "149", "8", "0"})), 7);
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "7", "1000", "0"})), 8);
    EXPECT_EQ(refusedEntryField(scenes, fields({"12abc", "1", "2", "3", "4", "5", "6", "7", "8", "0"})), 0);
    // The hidden duration of a scene is not stored, so only a mark on it counts.
    EXPECT_FALSE(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "7", "8", "5000"})));
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "7", "8", "?"})), 9);
    EXPECT_EQ(refusedEntryField(program, fields({"0", "1", "2", "3", "4", "5", "6", "7", "8", "5000"})), 9);
}

TEST(SceneForm, StoreConvertsLevelsAndWritesOnlyTheEntry) {
    ConfigImage image = defaultConfigImage();
    const SceneJob& scenes = *sceneJobFor(ConfigArea::Scenes);
    storeEntry(image, scenes, 4, fields({"100", "50", "1", "20", "0", "99", "10", "40", "321", "777"}), true);
    EXPECT_EQ(image.scenes[3].levels, (std::array<uint8_t, 8>{255, 127, 2, 51, 0, 252, 25, 102}));
    EXPECT_EQ(image.scenes[3].riseTime, 321);
    EXPECT_EQ(image.scenes[2].riseTime, 0);
    EXPECT_EQ(image.programs[0].endStep, 0);  // a scene has no end step
    EXPECT_EQ(image.programs[0].steps[3].duration, 0);
}

TEST(SceneForm, EndStepMarkingAndUnmarking) {
    ConfigImage image = defaultConfigImage();
    const SceneJob& program = *sceneJobFor(ConfigArea::Program1);
    const EntryFieldTexts any = fields({"0", "0", "0", "0", "0", "0", "0", "0", "5", "6"});
    storeEntry(image, program, 5, any, true);
    EXPECT_EQ(image.programs[0].endStep, 4);
    EXPECT_EQ(image.programs[0].steps[4].duration, 6);
    storeEntry(image, program, 6, any, false);  // another step, box clear: the mark stays
    EXPECT_EQ(image.programs[0].endStep, 4);
    storeEntry(image, program, 5, any, false);  // the end step, box cleared: no end step
    EXPECT_EQ(image.programs[0].endStep, kNoEndStep);
    storeEntry(image, program, 14, any, true);
    EXPECT_EQ(image.programs[0].endStep, 13);
    EXPECT_EQ(image.programs[1].endStep, 0);
}

}  // namespace
}  // namespace kd215
