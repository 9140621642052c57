// Where a program's steps fall on the report's timeline chart: times and levels to coordinates.
#pragma once

#include <array>
#include <cstdint>
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

}  // namespace kd215
