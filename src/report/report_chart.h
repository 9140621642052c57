// A program's timeline chart on the report: the geometry (times to scale, levels as heights, round
// axis ticks, where the end step's label fits) and its drawing as inline SVG.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/config_image.h"

namespace kd215 {

// The drawing area of a chart: time runs left to right across `width`, the eight channel lanes
// stack downwards from `top`, each `laneHeight` tall with `laneGap` between them.
struct ChartFrame {
    double left = 0;
    double width = 0;
    double top = 0;
    double laneHeight = 0;
    double laneGap = 0;
    // Time units across `width`. Two programs shown against each other share one span; 0 takes
    // the program's own running time.
    unsigned long timeSpan = 0;
};

// One step: it starts, reaches its levels at `riseEnd`, holds them until `end`. `levelY` is the
// height of each channel's level in its own lane.
struct StepShape {
    double start = 0;
    double riseEnd = 0;
    double end = 0;
    std::array<double, kChannelCount> levelY{};
};

// Rise plus duration of the first `stepCount` steps, in the controller's time units.
unsigned long programTime(const Program& program, int stepCount);

// The y of `level` (0..255) in `lane` (0..7): the lane's bottom for 0, its top for 255.
double laneLevelY(const ChartFrame& frame, int lane, unsigned level);

// The first `stepCount` steps drawn to scale. A program with no time at all (every rise and
// duration 0) still shows its steps: each gets an equal share of the width, all of it hold.
std::vector<StepShape> programShapes(const Program& program, int stepCount, const ChartFrame& frame);

// The time axis' marks for `span` units: 0 and then every multiple of one round step (1, 2 or 5
// times a power of ten) up to `span`, at most `maxIntervals` steps of it. None for a span of 0.
std::vector<unsigned long> axisTicks(unsigned long span, int maxIntervals);

// A label `width` wide beside a mark at `markX`, on a chart `chartWidth` wide: left of the mark,
// ending at it, when it fits there, otherwise right of it, and never past either edge.
struct LabelPlace {
    double x = 0;
    bool anchorStart = false;  // the text starts at `x`; otherwise it ends there
};
LabelPlace besideMark(double markX, double width, double chartWidth);

// One program as the report draws it. With `other` that program's steps go dashed over this one
// on a shared time scale, and the numbers of steps that differ are marked.
struct ChartProgram {
    const Program* program = nullptr;
    int steps = 0;         // steps held: 14, or 12 from a program file
    bool endHeld = false;  // a program file holds no end step
    const Program* other = nullptr;
    int otherSteps = 0;
};
std::string chartSvg(const ChartProgram& chart, int programNumber);

}  // namespace kd215
