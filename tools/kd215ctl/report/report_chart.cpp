// The timeline chart's geometry: the program's own times to scale, levels as heights in the lanes.
#include "report/report_chart.h"

namespace kd215 {

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

}  // namespace kd215
