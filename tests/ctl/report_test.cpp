// The report's chart geometry (times to scale, levels as heights) and its escaping of names.
#include <gtest/gtest.h>

#include "report/report.h"
#include "report/report_chart.h"

namespace kd215 {
namespace {

const ChartFrame kFrame{10, 500, 20, 30, 8, 0};

Program twoSteps() {
    Program program;
    program.steps[0] = {{255, 0, 128}, 10, 30};
    program.steps[1] = {{0, 255}, 0, 60};
    program.steps[2] = {{}, 500, 500};  // past the steps asked for
    return program;
}

TEST(ReportChart, StepsRiseThenHoldToScaleWithEachLevelAsAHeightInItsLane) {
    const std::vector<StepShape> shapes = programShapes(twoSteps(), 2, kFrame);
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_DOUBLE_EQ(shapes[0].start, 10);
    EXPECT_DOUBLE_EQ(shapes[0].riseEnd, 60);
    EXPECT_DOUBLE_EQ(shapes[0].end, 210);
    EXPECT_DOUBLE_EQ(shapes[1].riseEnd, 210);
    EXPECT_DOUBLE_EQ(shapes[1].end, 510);
    EXPECT_DOUBLE_EQ(shapes[0].levelY[0], 20);       // full: lane 1's top
    EXPECT_DOUBLE_EQ(shapes[0].levelY[1], 50 + 38);  // off: lane 2's bottom
    EXPECT_NEAR(shapes[0].levelY[2], 96 + 15, 0.1);  // half: mid lane 3
    EXPECT_DOUBLE_EQ(shapes[1].levelY[1], 58);
}

TEST(ReportChart, ASpanSharedWithALongerProgramShrinksTheShorterOne) {
    ChartFrame frame = kFrame;
    frame.timeSpan = 200;
    EXPECT_DOUBLE_EQ(programShapes(twoSteps(), 2, frame).back().end, 10 + 250);
}

TEST(ReportChart, AProgramWithoutTimeStillShowsEveryStepSideBySide) {
    const std::vector<StepShape> shapes = programShapes(Program{}, kStepCount, kFrame);
    ASSERT_EQ(shapes.size(), static_cast<std::size_t>(kStepCount));
    for (int k = 0; k < kStepCount; ++k) {
        EXPECT_DOUBLE_EQ(shapes[k].start, 10 + k * 500.0 / kStepCount);
        EXPECT_DOUBLE_EQ(shapes[k].end - shapes[k].start, 500.0 / kStepCount);
    }
}

TEST(ReportPage, NamesFromOutsideAreEscapedWherePrinted) {
    ReportSource source = controllerSource("", defaultConfigImage(), "<b>1.05</b>");
    // A name in another encoding, and control characters a backup may carry (NUL, ESC, BEL, C1).
    source.files = {"hala \"A\" & <scena>.json", "hala\xB3\xF3" "d\xFF.json", std::string("a\0\x1b[31m\x07\xC2\x9B\xC3\xB3", 12)};
    const std::string page = reportHtml(source, &source, "dziś");
    EXPECT_EQ(page.find("<b>1.05"), std::string::npos);
    EXPECT_EQ(page.find("<scena>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;1.05&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.find("hala &quot;A&quot; &amp; &lt;scena&gt;.json"), std::string::npos);
    EXPECT_NE(page.find("hala\uFFFD\uFFFDd\uFFFD.json, a\uFFFD\uFFFD[31m\uFFFD\uFFFDó"), std::string::npos);
}

}  // namespace
}  // namespace kd215
