// The pure rules under the editors and the main window: numbers read from fields, scroll and page
// steps, the "+"/"-" buttons, and the status bar's part edges.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "editors/control_rules.h"
#include "editors/field_rules.h"

namespace kd215 {
namespace {

TEST(FieldNumbers, ReadTheWayTheDialogManagerReadsThem) {
    struct Case { const char* text; std::optional<long> parsed; unsigned unsignedRead; };
    const Case cases[] = {
        {"  42", 42, 42},       {"+7", 7, 0},         {"-3", -3, 0},        {"0x1F", 31, 0},
        {"017", 15, 17},        {"08", 0, 8},         {"0", 0, 0},          {"12abc", 12, 0},
        {"abc", std::nullopt, 0}, {"", std::nullopt, 0}, {"0x", 0, 0},
        {"1234567890", 123456789, 1234567890},  // the field reads nine characters, GetDlgItemInt all
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseFieldNumber(c.text), c.parsed) << c.text;
        EXPECT_EQ(readUnsignedField(c.text), c.unsignedRead) << c.text;
    }
    EXPECT_EQ(readUnsignedNumber("0"), 0u);
    EXPECT_EQ(readUnsignedNumber("x"), std::nullopt);
}

TEST(ScrollBars, LineAndPageStepsFollowTheBarsDirectionAndStayInRange) {
    struct Case { ScrollAxis axis; int code; uint16_t value; unsigned max, thumb; std::optional<uint16_t> result; };
    const auto H = ScrollAxis::Horizontal;
    const auto V = ScrollAxis::Vertical;
    const Case cases[] = {
        {H, 0, 5, 100, 0, 4},    {H, 1, 5, 100, 0, 6},     {V, 0, 5, 100, 0, 6},   {V, 1, 5, 100, 0, 4},
        {H, 1, 100, 100, 0, 100}, {H, 0, 0, 100, 0, 0},    {H, 0, 150, 100, 0, 149},  // out of range stays so
        {H, 3, 10, 100, 0, 25},  {H, 3, 25, 100, 0, 50},   {H, 2, 25, 100, 0, 0},  {V, 2, 90, 100, 0, 100},
        {H, 2, 150, 100, 0, 100}, {H, 3, 1, 30, 0, 7},     {H, 3, 22, 30, 0, 30},
        {H, 4, 0, 100, 70, 70},  {V, 5, 0, 100, 70, 30},   {V, 5, 0, 100, 500, 0}, {H, 6, 5, 100, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scrolledValue(c.axis, c.code, c.value, c.max, c.thumb), c.result)
            << "code " << c.code << " from " << c.value << (c.axis == V ? " vertical" : " horizontal");
    }
    EXPECT_EQ(thumbPosition(V, 30, 100), 70);
    EXPECT_EQ(thumbPosition(H, 30, 100), 30);
}

TEST(NumberButtons, StepTowardsTheirLimitAndBringAnOutOfRangeNumberBack) {
    EXPECT_EQ(nextNumber(3, 14), 4u);
    EXPECT_EQ(nextNumber(14, 14), std::nullopt);
    EXPECT_EQ(nextNumber(40, 14), 14u);
    EXPECT_EQ(previousNumber(3), 2u);
    EXPECT_EQ(previousNumber(1), std::nullopt);
    EXPECT_EQ(previousNumber(0), 1u);
}

TEST(StatusLayout, PartsAreCharacterWidthsUntilTheWindowIsTooNarrowThenFiftieths) {
    const StatusLayout wide = computeStatusLayout(8, 600);
    EXPECT_EQ((std::vector<int>(wide.edges, wide.edges + 4)), (std::vector<int>{96, 168, 344, -1}));
    EXPECT_EQ(wide.progressLeft, 344);
    // 416 - 9*8 = 344 still fits; one pixel less does not.
    EXPECT_EQ(computeStatusLayout(8, 416).edges[2], 344);
    const StatusLayout narrow = computeStatusLayout(8, 415);
    EXPECT_EQ((std::vector<int>(narrow.edges, narrow.edges + 4)), (std::vector<int>{99, 173, 355, -1}));
    EXPECT_EQ(narrow.progressLeft, 355);
}

}  // namespace
}  // namespace kd215
