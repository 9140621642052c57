// The report's chart geometry (times to scale, levels as heights, axis ticks, labels inside the
// chart) and its escaping of names.
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

TEST(ReportChart, AProgramWithoutTimeStillShowsEveryStepSideBySideAcrossTheWidth) {
    const std::vector<StepShape> shapes = programShapes(Program{}, kStepCount, kFrame);
    ASSERT_EQ(shapes.size(), static_cast<std::size_t>(kStepCount));
    EXPECT_DOUBLE_EQ(shapes.front().start, kFrame.left);
    EXPECT_DOUBLE_EQ(shapes.back().end, kFrame.left + kFrame.width);
    for (int k = 1; k < kStepCount; ++k) {
        EXPECT_DOUBLE_EQ(shapes[k].start, shapes[k - 1].end);
        EXPECT_NEAR(shapes[k].end - shapes[k].start, shapes[0].end - shapes[0].start, 1e-9);
    }
}

TEST(ReportChart, AxisTicksFallOnRoundValuesWhateverTheSpan) {
    EXPECT_EQ(axisTicks(5914, 5), (std::vector<unsigned long>{0, 1000, 2000, 3000, 4000, 5000}));
    EXPECT_EQ(axisTicks(6001, 5), (std::vector<unsigned long>{0, 2000, 4000, 6000}));
    EXPECT_EQ(axisTicks(3, 5), (std::vector<unsigned long>{0, 1, 2, 3}));
    EXPECT_TRUE(axisTicks(0, 5).empty());  // nothing to scale: no axis of zeros
}

TEST(ReportChart, ALabelBesideAMarkNearTheEdgeTurnsInward) {
    EXPECT_FALSE(besideMark(400, 100, 700).anchorStart);
    const LabelPlace nearLeft = besideMark(80, 100, 700);  // the first of 14 steps ending
    EXPECT_TRUE(nearLeft.anchorStart);
    EXPECT_GE(nearLeft.x, 80);
    EXPECT_LE(nearLeft.x + 100, 700);
}

TEST(ReportPage, NamesFromOutsideAreEscapedWherePrinted) {
    ReportSource source = controllerSource("", defaultConfigImage(), "<b>1.05</b>");
    // A name in another encoding, and control characters a backup may carry (NUL, ESC, BEL, C1).
    source.files = {"hala \"A\" & <scena>.json", "hala\xB3\xF3" "d\xFF.json", std::string("a\0\x1b[31m\x07\xC2\x9B\xC3\xB3", 12)};
    const std::string page = reportHtml(source, &source, {"hala </style> \"A\"", "", "", "dziś"});
    EXPECT_EQ(page.find("<b>1.05"), std::string::npos);
    EXPECT_EQ(page.find("<scena>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;1.05&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.find("hala &quot;A&quot; &amp; &lt;scena&gt;.json"), std::string::npos);
    // The site goes into the sheets' footer as a CSS string too, where it must not end the style.
    EXPECT_EQ(page.find("</style> "), std::string::npos);
    EXPECT_NE(page.find("Obiekt: hala \\3c /style> \\22 A\\22 "), std::string::npos);
    EXPECT_NE(page.find("hala\uFFFD\uFFFDd\uFFFD.json, a\uFFFD\uFFFD[31m\uFFFD\uFFFDó"), std::string::npos);
}

TEST(ReportPage, AValueTheSourcesHoldDifferentlyIsMarkedInItsRowWithBothValues) {
    ConfigImage other = defaultConfigImage();
    other.common.commonInputMode = 1;
    other.channels[2].fallTime = 7;
    const ReportSource a = controllerSource("", defaultConfigImage(), ""), b = controllerSource("", other, "");
    const std::string page = reportHtml(a, &b, {"", "", "", ""});
    EXPECT_NE(page.find("<tr><th>Wejście wspólne</th><td class=\"diff\" title=\"wejście wspólne: A 0 (Normalne), B 1 "
                        "(Inwersja)\">0 (Normalne)<small class=\"other\">B: 1 (Inwersja)</small></td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<th>Czas trwania</th><th>Czas opadania</th><th>Inwersja wejścia</th></tr>"), std::string::npos);
    EXPECT_NE(page.find("title=\"kanał 3 czas opadania: A 0, B 7\">0<small class=\"other\">B: 7</small>"), std::string::npos);
}

// The customer's sheets carry dates as a Polish reader writes them; the backup keeps ISO.
TEST(ReportPage, DatesOnTheSheetsAreWrittenInPolish) {
    EXPECT_EQ(customerDateText("2026-12-09T14:05:31+01:00"), "9 grudnia 2026, 14:05 (UTC+01:00)");
    EXPECT_EQ(customerDateText("2027-03-01T00:00:00-05:30"), "1 marca 2027, 00:00 (UTC-05:30)");
    for (const char* kept : {"2026-12-07 10:26:10", "2026-13-07T10:26:10+01:00", "2026-12-07T10:26:10+01:00x", ""}) {
        EXPECT_EQ(customerDateText(kept), kept);
    }
    ReportSource backup = controllerSource("", defaultConfigImage(), "1.05");
    backup.created = "2026-12-07T11:02:13+01:00";
    const std::string page = reportHtml(backup, nullptr, {"", "", "", "2026-12-09T02:00:06+00:00"});
    EXPECT_NE(page.find("<th>Sporządzono</th><td>9 grudnia 2026, 02:00 (UTC+00:00)</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>7 grudnia 2026, 11:02 (UTC+01:00)</td>"), std::string::npos);
    EXPECT_NE(page.find("@bottom-center { content: \"9 grudnia 2026, 02:00 (UTC+00:00)\""), std::string::npos);
    EXPECT_EQ(page.find("T02:00"), std::string::npos);
}

}  // namespace
}  // namespace kd215
