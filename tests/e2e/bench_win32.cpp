// End-to-end benchmarks, printed and never asserted: launch to firmware version, "&Wszystko" read, write
// and verify against the bytes' time on the wire, and the probe over silent ports. They run against
// the bench layout: the controller on COM1, silent lines on the other ports.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "e2e_driver_win32.h"

namespace kd215 {
namespace {

// At 38400 baud with 8 data bits, no parity and 2 stop bits a byte takes 11 bit times.
constexpr double kSecondsPerByte = 11.0 / 38400.0;
constexpr int kAreaLengths[] = {68, 80, 170, 170};
constexpr int kRounds = 10;
constexpr int kEverythingCommand = 112;
constexpr int kAutoCommand = 200;

struct Figures {
    std::vector<double> values;
    double median() const {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double low() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double high() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process == search->first && std::wstring(name) == L"Kd215<->PC") {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

// From CreateProcess to "\tFW : 1.05" in the status bar, watched without the inspection hook.
TEST(Bench, LaunchToFirmwareVersion) {
    ASSERT_TRUE(simControl("clear\nplug"));
    Figures launch;
    for (int round = 0; round < kRounds; ++round) {
        std::wstring commandLine = L"\"" + settings().exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        const double start = secondsNow();
        ASSERT_TRUE(CreateProcessW(settings().exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   settings().work.c_str(), &startup, &info));
        std::pair<DWORD, HWND> search{info.dwProcessId, nullptr};
        HWND statusBar = nullptr;
        double shown = 0;
        bool found = false;
        {
            std::unique_ptr<StatusReader> reader;
            while (secondsNow() - start < 20) {
                if (statusBar == nullptr) {
                    EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
                    if (search.second != nullptr) statusBar = FindWindowExW(search.second, nullptr, L"msctls_statusbar32", nullptr);
                    if (statusBar != nullptr) reader = std::make_unique<StatusReader>(info.hProcess, statusBar);
                } else if (reader->part(0) == "\tFW : 1.05") {
                    shown = secondsNow();
                    found = true;
                    break;
                }
                Sleep(1);
            }
        }
        if (search.second != nullptr) PostMessageW(search.second, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        ASSERT_TRUE(found) << "no firmware version within 20 s";
        launch.values.push_back(shown - start);
    }
    std::printf("bench: launch to firmware version, controller on the first port: median %.3f s (%.3f..%.3f, %d runs)\n",
                launch.median(), launch.low(), launch.high(), kRounds);
}

class BenchProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simControl("clear\nplug"));
        std::string failure;
        ASSERT_TRUE(startProgram(program_, failure)) << failure;
        ASSERT_TRUE(waitReady(program_));
    }
    Kd215Process program_;
};

std::size_t repliesSent() {
    std::size_t replies = 0;
    for (const SimFrame& frame : simFrames()) replies += frame.direction == "TX";
    return replies;
}

TEST_F(BenchProgram, EverythingReadWriteAndVerifyAgainstTheWire) {
    ASSERT_TRUE(setSimMemory(seededBytes(201, kControllerMemorySize)));
    StatusReader status(program_.info.hProcess, program_.statusBar);
    double wireRead = 0, wireWrite = 0;
    for (int length : kAreaLengths) {
        wireRead += (6 + length + 6) * kSecondsPerByte;
        wireWrite += (length + 6 + 3) * kSecondsPerByte;
    }
    struct Operation {
        const char* name;
        int actionPosition;
        double wire;
    };
    // Read first, so that write and verify move the controller's own configuration.
    const Operation operations[] = {{"read", kReadControllerItem, wireRead},
                                    {"write", kWriteControllerItem, wireWrite},
                                    {"verify", kVerifyItem, wireRead}};
    bool processTimes = true;
    for (const Operation& operation : operations) {
        Figures wall;
        double cpuBefore = 0, cpuAfter = 0, linuxBefore = 0, linuxAfter = 0, serverBefore = 0, serverAfter = 0;
        // Processor time is counted in 10 ms ticks: it is taken over all the rounds at once.
        const bool linuxTimes = programCpuSeconds(linuxBefore, serverBefore);
        processTimes = programProcessorSeconds(program_, cpuBefore) && processTimes;
        for (int round = 0; round < kRounds; ++round) {
            const std::size_t repliesBefore = repliesSent();
            const double start = secondsNow();
            chooseArea(program_, operation.actionPosition, kEverythingCommand);
            // The log tells when the last reply went out, without asking the program anything; then
            // part 2 of the status bar says when the program is done with it.
            ASSERT_TRUE(waitFor([&] { return repliesSent() >= repliesBefore + 4; }, 30000)) << operation.name;
            while (status.part(2) != "\tGotowe" && secondsNow() - start < 30) Sleep(1);
            wall.values.push_back(secondsNow() - start);
            ASSERT_TRUE(noDialogFor(program_, 0)) << operation.name << " asked something";
        }
        processTimes = programProcessorSeconds(program_, cpuAfter) && processTimes;
        const bool linuxAfterOk = programCpuSeconds(linuxAfter, serverAfter);
        const double busy = std::accumulate(wall.values.begin(), wall.values.end(), 0.0);
        std::printf("bench: \"&Wszystko\" %-6s wall %.3f s (median of %d, %.3f..%.3f), on the wire %.3f s, ratio %.2f\n",
                    operation.name, wall.median(), kRounds, wall.low(), wall.high(), operation.wire,
                    wall.median() / operation.wire);
        std::printf("bench:   program CPU per run (GetProcessTimes) %.4f s = %.0f %% of wall", (cpuAfter - cpuBefore) / kRounds,
                    100.0 * (cpuAfter - cpuBefore) / busy);
        if (linuxTimes && linuxAfterOk) {
            std::printf("; from Linux: program %.4f s, its wineserver %.4f s", (linuxAfter - linuxBefore) / kRounds,
                        (serverAfter - serverBefore) / kRounds);
        }
        std::printf("\n");
    }
    if (!processTimes) std::printf("bench:   (GetProcessTimes failed on the program: its CPU figures are 0)\n");
}

TEST_F(BenchProgram, ProbeOverSilentPorts) {
    const std::size_t ports = portNames().size();
    ASSERT_GT(ports, 1u);
    ASSERT_TRUE(simControl("unplug"));
    Figures probe;
    for (int round = 0; round < 3; ++round) {
        const double start = secondsNow();
        command(program_, kAutoCommand);
        DialogWindow notFound;
        bool found = false;
        while (!found && secondsNow() - start < 60) {
            for (const DialogWindow& dialog : dialogs(program_)) {
                if (dialog.caption == "Mamy problem :") {
                    notFound = dialog;
                    found = true;
                }
            }
            if (!found) Sleep(1);
        }
        const double end = secondsNow();
        ASSERT_TRUE(found) << "no \"Mamy problem :\" within 60 s";
        probe.values.push_back(end - start);
        ASSERT_TRUE(answer(notFound, IDOK));
    }
    std::printf("bench: \"&Auto\" over %zu silent ports: median %.3f s (%.3f..%.3f), %.0f ms per port\n", ports,
                probe.median(), probe.low(), probe.high(), 1000.0 * probe.median() / static_cast<double>(ports));
    ASSERT_TRUE(simControl("plug"));
    command(program_, kAutoCommand);
    EXPECT_TRUE(waitReady(program_, 20000));
}

}  // namespace
}  // namespace kd215
