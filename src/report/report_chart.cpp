// The timeline chart: the program's own times to scale, levels as heights in the lanes, drawn in
// parts (lanes, steps, the other source, the time axis, the end mark) as inline SVG.
#include "report/report_chart.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "records/config_text.h"
#include "records/printable_text.h"

namespace kd215 {

namespace {

// The chart's frame in SVG user units: lane labels on the left, the step axis below.
constexpr double kChartWidth = 700;
constexpr double kAxisHeight = 48;
const ChartFrame kChartFrame{34, kChartWidth - 34 - 12, 22, 30, 8, 0};
// Room a character of the bold 9px labels takes at most, for placing them without measuring.
constexpr double kLabelCharWidth = 6.2;
constexpr double kLabelGap = 3;
constexpr int kAxisIntervals = 5;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

bool stepsDiffer(const ProgramStep& a, const ProgramStep& b) {
    return a.levels != b.levels || a.riseTime != b.riseTime || a.duration != b.duration;
}

double lanesBottom(const ChartFrame& frame) {
    return frame.top + kChannelCount * (frame.laneHeight + frame.laneGap) - frame.laneGap;
}

void lanes(std::ostream& h, const ChartFrame& frame) {
    for (int c = 0; c < kChannelCount; ++c) {
        const double y = laneLevelY(frame, c, 255);
        h << "<rect class=\"lane\" x=\"" << number(frame.left) << "\" y=\"" << number(y) << "\" width=\""
          << number(frame.width) << "\" height=\"" << number(frame.laneHeight) << "\"/><text x=\"4\" y=\""
          << number(y + frame.laneHeight / 2 + 3) << "\">K" << c + 1 << "</text>\n";
    }
}

void steps(std::ostream& h, const ChartProgram& chart, const ChartFrame& frame, const std::vector<StepShape>& shapes) {
    const Program& program = *chart.program;
    const double bottom = lanesBottom(frame);
    for (int k = 0; k < chart.steps; ++k) {
        const ProgramStep& step = program.steps[k];
        const StepShape& shape = shapes[k];
        const bool afterEnd = chart.endHeld && program.endStep < kStepCount && k > program.endStep;
        const bool differs = chart.other && k < chart.otherSteps && stepsDiffer(step, chart.other->steps[k]);
        h << "<g class=\"step" << (afterEnd ? " after-end" : "") << "\" data-step=\"" << k + 1 << "\" data-levels=\"";
        for (int c = 0; c < kChannelCount; ++c) h << (c ? ", " : "") << unsigned(step.levels[c]);
        h << "\" data-rise=\"" << step.riseTime << "\" data-duration=\"" << step.duration << "\">\n";
        for (int c = 0; c < kChannelCount; ++c) {
            // The rise starts from where the previous step left the channel; before step 1 it is off.
            const double base = laneLevelY(frame, c, 0);
            const double from = k == 0 ? base : shapes[k - 1].levelY[c];
            h << "<polygon class=\"level\" points=\"" << number(shape.start) << "," << number(base) << " "
              << number(shape.start) << "," << number(from) << " " << number(shape.riseEnd) << ","
              << number(shape.levelY[c]) << " " << number(shape.end) << "," << number(shape.levelY[c]) << " "
              << number(shape.end) << "," << number(base) << "\"/>\n";
        }
        h << "<line class=\"bound\" x1=\"" << number(shape.start) << "\" y1=\"" << number(frame.top) << "\" x2=\""
          << number(shape.start) << "\" y2=\"" << number(bottom + 4) << "\"/>\n<text" << (differs ? " class=\"diff\"" : "")
          << " x=\"" << number((shape.start + shape.end) / 2) << "\" y=\"" << number(bottom + 14)
          << "\" text-anchor=\"middle\">" << k + 1 << "</text>\n</g>\n";
    }
}

// The other source's steps as dashed lines, one per lane, on the same time scale.
void otherSourceLines(std::ostream& h, const ChartProgram& chart, const ChartFrame& frame) {
    const std::vector<StepShape> shapes = programShapes(*chart.other, chart.otherSteps, frame);
    for (int c = 0; c < kChannelCount; ++c) {
        h << "<polyline class=\"other-source\" points=\"" << number(frame.left) << "," << number(laneLevelY(frame, c, 0));
        for (const StepShape& shape : shapes) {
            h << " " << number(shape.riseEnd) << "," << number(shape.levelY[c]) << " " << number(shape.end) << ","
              << number(shape.levelY[c]);
        }
        h << "\"/>\n";
    }
}

void timeAxis(std::ostream& h, const ChartFrame& frame) {
    const double y = lanesBottom(frame) + 27;
    const std::vector<unsigned long> ticks = axisTicks(frame.timeSpan, kAxisIntervals);
    for (const unsigned long tick : ticks) {
        const double x = frame.left + frame.width * tick / frame.timeSpan;
        h << "<text class=\"tick\" x=\"" << number(x) << "\" y=\"" << number(y) << "\" text-anchor=\""
          << (tick == 0 ? "start" : "middle") << "\">" << tick << "</text>\n";
    }
    h << "<text x=\"" << number(frame.left + frame.width / 2) << "\" y=\"" << number(y + 17) << "\" text-anchor=\"middle\">"
      << (ticks.empty() ? "numer sceny; wszystkie czasy wynoszą 0, więc sceny pokazano obok siebie, bez skali czasu"
                        : "numer sceny i czas w jednostkach czasu sterownika")
      << "</text>\n";
}

// The end step's line at its end, and its number in words. Without a line (no end step among the
// steps held) the words stand at the right edge.
void endMark(std::ostream& h, const ChartProgram& chart, const ChartFrame& frame, const std::vector<StepShape>& shapes) {
    const Program& program = *chart.program;
    const bool drawn = chart.endHeld && program.endStep < chart.steps;
    const std::string label = chart.endHeld ? "Scena kończąca: " + formatValue(program.endStep, ValueStyle::EndStep)
                                            : "Scena kończąca: nieznana (plik programu jej nie zawiera)";
    const double markX = drawn ? shapes[program.endStep].end : kChartWidth + kLabelGap;
    if (drawn) {
        h << "<line class=\"end-mark\" x1=\"" << number(markX) << "\" y1=\"4\" x2=\"" << number(markX) << "\" y2=\""
          << number(lanesBottom(frame) + 4) << "\"/>";
    }
    const LabelPlace place = besideMark(markX, characterCount(label) * kLabelCharWidth, kChartWidth);
    h << "<text class=\"end-mark\" x=\"" << number(place.x) << "\" y=\"12\" text-anchor=\""
      << (place.anchorStart ? "start" : "end") << "\">" << label << "</text>\n";
}

}  // namespace

unsigned long programTime(const Program& program, int stepCount) {
    unsigned long total = 0;
    for (int k = 0; k < stepCount && k < kStepCount; ++k) total += program.steps[k].riseTime + program.steps[k].duration;
    return total;
}

double laneLevelY(const ChartFrame& frame, int lane, unsigned level) {
    const double bottom = frame.top + lane * (frame.laneHeight + frame.laneGap) + frame.laneHeight;
    return bottom - frame.laneHeight * level / 255.0;
}

std::vector<StepShape> programShapes(const Program& program, int stepCount, const ChartFrame& frame) {
    std::vector<StepShape> shapes;
    if (stepCount > kStepCount) stepCount = kStepCount;
    if (stepCount <= 0) return shapes;
    const unsigned long span = frame.timeSpan != 0 ? frame.timeSpan : programTime(program, stepCount);
    // Without any time to scale by, the steps are only an order: equal widths, no rise.
    const bool timeless = span == 0;
    const double unit = timeless ? frame.width / stepCount : frame.width / span;
    double x = frame.left;
    for (int k = 0; k < stepCount; ++k) {
        const ProgramStep& step = program.steps[k];
        StepShape shape;
        shape.start = x;
        shape.riseEnd = timeless ? x : x + step.riseTime * unit;
        shape.end = timeless ? x + unit : shape.riseEnd + step.duration * unit;
        for (int c = 0; c < kChannelCount; ++c) shape.levelY[c] = laneLevelY(frame, c, step.levels[c]);
        shapes.push_back(shape);
        x = shape.end;
    }
    return shapes;
}

std::vector<unsigned long> axisTicks(unsigned long span, int maxIntervals) {
    std::vector<unsigned long> ticks;
    if (span == 0 || maxIntervals <= 0) return ticks;
    unsigned long step = 1;
    for (unsigned long power = 1;; power *= 10) {
        const unsigned long candidates[] = {power, 2 * power, 5 * power};
        const unsigned long* fit = std::find_if(std::begin(candidates), std::end(candidates),
                                                [&](unsigned long s) { return span / s <= static_cast<unsigned long>(maxIntervals); });
        if (fit != std::end(candidates)) {
            step = *fit;
            break;
        }
    }
    for (unsigned long tick = 0; tick <= span; tick += step) ticks.push_back(tick);
    return ticks;
}

LabelPlace besideMark(double markX, double width, double chartWidth) {
    if (markX - kLabelGap - width >= 0) return {std::min(markX, chartWidth) - kLabelGap, false};
    return {std::max(0.0, std::min(markX + kLabelGap, chartWidth - width)), true};
}

std::string chartSvg(const ChartProgram& chart, int programNumber) {
    ChartFrame frame = kChartFrame;
    frame.timeSpan = programTime(*chart.program, chart.steps);
    if (chart.other) frame.timeSpan = std::max(frame.timeSpan, programTime(*chart.other, chart.otherSteps));
    const std::vector<StepShape> shapes = programShapes(*chart.program, chart.steps, frame);
    std::ostringstream h;
    h << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << kChartWidth << " "
      << number(lanesBottom(frame) + kAxisHeight) << "\" data-program=\"" << programNumber << "\"";
    if (chart.endHeld) h << " data-end-step=\"" << unsigned(chart.program->endStep) << "\"";
    h << " role=\"img\" aria-label=\"Program " << programNumber << ": przebieg poziomów kanałów w czasie\">\n";
    lanes(h, frame);
    steps(h, chart, frame, shapes);
    if (chart.other) otherSourceLines(h, chart, frame);
    timeAxis(h, frame);
    endMark(h, chart, frame, shapes);
    h << "</svg>\n";
    return h.str();
}

}  // namespace kd215
