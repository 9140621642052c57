// The editors' forms: the channel limit rule and the order in which a commit refuses fields.
#include <gtest/gtest.h>

#include "editors/channel_form.h"
#include "editors/common_settings_form.h"
#include "editors/scene_form.h"

namespace kd215 {
namespace {

// The upper limit stays at least 10 % above the lower one: moving either limit pushes the other.
TEST(ChannelLimits, MovingOneLimitPushesTheOtherToKeepTheGap) {
    struct Case { const char* what; WorkingChannel start; int field, code; unsigned thumb; WorkingChannel end; };
    const Case cases[] = {
        {"upper line left", {0, 0, 0, 40, 35}, kUpperValue, 0, 0, {0, 0, 0, 39, 29}},
        {"upper at the floor", {0, 0, 0, 10, 0}, kUpperValue, 0, 0, {0, 0, 0, 10, 0}},
        {"upper page left", {0, 0, 0, 20, 5}, kUpperValue, 2, 0, {0, 0, 0, 10, 0}},
        {"lower dragged up", {0, 0, 0, 50, 30}, kLowerValue, 5, 95, {0, 0, 0, 100, 90}},
        {"lower line left", {0, 0, 0, 50, 45}, kLowerValue, 0, 0, {0, 0, 0, 50, 44}},
        {"upper line right", {0, 0, 0, 9, 0}, kUpperValue, 1, 0, {0, 0, 0, 10, 0}},
        {"rise page right", {600, 0, 0, 50, 0}, kRiseValue, 3, 0, {749, 0, 0, 50, 0}},
    };
    for (const Case& c : cases) {
        WorkingChannel w = c.start;
        EXPECT_TRUE(scrollChannelValue(w, c.field, c.code, c.thumb)) << c.what;
        EXPECT_EQ(w, c.end) << c.what;
    }
}

TEST(ChannelLimits, LeavingALimitFieldAppliesTheRuleAndRefusesOutOfRange) {
    WorkingChannel w{0, 0, 0, 60, 30};
    ASSERT_TRUE(leaveChannelField(w, kUpperValue, "5"));
    EXPECT_EQ(w, (WorkingChannel{0, 0, 0, 10, 0}));
    ASSERT_TRUE(leaveChannelField(w, kLowerValue, "95abc"));
    EXPECT_EQ(w, (WorkingChannel{0, 0, 0, 100, 90}));
    EXPECT_FALSE(leaveChannelField(w, kUpperValue, "101"));
    EXPECT_FALSE(leaveChannelField(w, kRiseValue, "1500"));
    EXPECT_EQ(w, (WorkingChannel{0, 0, 0, 100, 90}));
}

TEST(Commit, ChannelFormRefusesAMarkThenTimesThenTheLimitsFirstFailureFirst) {
    const std::array<std::string, 5> plain{"1", "2", "3", "50", "20"};
    EXPECT_FALSE(refusedChannelField(plain, {1, 2, 3, 50, 20}));
    EXPECT_EQ(refusedChannelField({"1", "2", "3", "???", "???"}, {1, 1000, 3, 50, 20}), 3);
    EXPECT_EQ(refusedChannelField(plain, {1, 1000, 3, 50, 20}), 1);
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 9, 0}), 3);  // loaded with an upper limit of 9
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 101, 20}), 3);
    EXPECT_EQ(refusedChannelField(plain, {1, 2, 3, 50, 41}), 4);
    EXPECT_FALSE(refusedChannelField(plain, {1, 2, 3, 50, 40}));
    EXPECT_EQ(refusedChannelField(plain, {1000, 2, 3, 9, 95}), 0);
}

TEST(Commit, CommonSettingsRefuseAMarkedFieldBeforeAnOutOfRangeTime) {
    EXPECT_FALSE(refusedTimeField({"30", "30"}, {30, 30}));
    EXPECT_EQ(refusedTimeField({"???", "???"}, {30, 30}), 0);
    EXPECT_EQ(refusedTimeField({"30", "149"}, {30, 149}), 1);
    EXPECT_EQ(refusedTimeField({"149", "???"}, {149, 30}), 1);
}

EntryFieldTexts fields(std::initializer_list<const char*> texts) {
    EntryFieldTexts result;
    int j = 0;
    for (const char* t : texts) result[j++] = t;
    return result;
}

TEST(Commit, SceneFormRefusesMarksThenUnreadableOrOutOfRangeFields) {
    const SceneJob& scenes = *sceneJobFor(ConfigArea::Scenes);
    const SceneJob& program = *sceneJobFor(ConfigArea::Program1);
    EXPECT_FALSE(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "100", "999", "0"})));
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "???", "3", "4", "5", "6", "7", "8", "0"})), 2);
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "101", "2", "3", "4", "5", "6", "7", "???", "0"})), 8);
    EXPECT_EQ(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "149", "8", "0"})), 7);
    EXPECT_EQ(refusedEntryField(scenes, fields({"12abc", "1", "2", "3", "4", "5", "6", "7", "8", "0"})), 0);
    // A scene's hidden duration is never stored, so only a mark on it counts.
    EXPECT_FALSE(refusedEntryField(scenes, fields({"0", "1", "2", "3", "4", "5", "6", "7", "8", "5000"})));
    EXPECT_EQ(refusedEntryField(program, fields({"0", "1", "2", "3", "4", "5", "6", "7", "8", "5000"})), 9);
}

}  // namespace
}  // namespace kd215
