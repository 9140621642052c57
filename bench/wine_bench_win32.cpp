// The Wine benchmark (wine_suite.sh bench): how long Kd215.exe takes from launch to the firmware
// version, and the processor time it and the prefix's wineserver use while it reads the four areas
// from a controller that answers after 40 ms, then while it sits idle. Figures only, no limits.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver_win32.h"

namespace kd215 {
namespace {

double secondsNow() { return static_cast<double>(GetTickCount64()) / 1000.0; }

TEST(Bench, LaunchToVersionAndCpuOfFourAreaReads) {
    const Line controller = line("CONTROLLER");
    ASSERT_TRUE(setSimMemory(controller, seededBytes(71, 512)));
    Program program;
    std::string failure;
    const double launched = secondsNow();
    ASSERT_TRUE(startProgram(program, failure)) << failure;
    ASSERT_TRUE(waitReady(program, 20000));
    const double ready = secondsNow() - launched;

    // Only the simulator's log is watched meanwhile, so that the driver's questions to the program
    // do not add to its processor time.
    constexpr int kRounds = 5;
    const std::size_t mark = frames(controller, "TX").size();
    double programBefore = 0, serverBefore = 0, programAfter = 0, serverAfter = 0;
    ASSERT_TRUE(cpuSeconds(programBefore, serverBefore));
    const double started = secondsNow();
    for (int round = 1; round <= kRounds; ++round) {
        ASSERT_TRUE(typeKeys("alt+a o Down Down Down Down Return"));  // "&Odczyt ze sterownika", "&Wszystko"
        ASSERT_TRUE(waitFor([&] { return frames(controller, "TX", mark).size() >= 4u * round; }, 60000));
        Sleep(50);
    }
    const double wall = secondsNow() - started;
    ASSERT_TRUE(cpuSeconds(programAfter, serverAfter));
    double programIdle = 0, serverIdle = 0;
    Sleep(2000);
    ASSERT_TRUE(cpuSeconds(programIdle, serverIdle));

    std::printf("bench: launch to \"FW : 1.05\": %.2f s\n", ready);
    std::printf("bench: %d four-area reads (40 ms turnaround): wall %.2f s, Kd215.exe CPU %.3f s (%.1f %%), "
                "wineserver %.3f s (%.1f %%)\n",
                kRounds, wall, programAfter - programBefore, 100 * (programAfter - programBefore) / wall,
                serverAfter - serverBefore, 100 * (serverAfter - serverBefore) / wall);
    std::printf("bench: idle 2 s: Kd215.exe CPU %.3f s, wineserver %.3f s\n", programIdle - programAfter,
                serverIdle - serverAfter);
}

}  // namespace
}  // namespace kd215
