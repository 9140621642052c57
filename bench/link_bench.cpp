// Benchmark: the four-area chain written, read and verified against kd215-sim at line timing.
// Prints the wall time against the wire time (the bytes at 38400 baud and the controller's turnaround
// before each reply), and the CPU time spent; fails when the median read or verification takes
// more than kGoalRatio times the wire time.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "link/serial_posix.h"
#include "link/transfer_engine.h"
#include "sim_process_posix.h"

using namespace kd215;

namespace {

// 38400 baud, 8 data bits, no parity, 2 stop bits: 11 bit times a byte.
constexpr double kSecondsPerByte = 11.0 / 38400.0;
// The simulated controller's pause before each reply: the controller's time, so part of the wire's.
constexpr int kTurnaroundMs = 3;
// The goal for a read and a verification: the wire time and at most 5 % more. Each chain runs
// kRuns times and is judged on its median, as the machine is shared.
constexpr double kGoalRatio = 1.05;
constexpr int kRuns = 5;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts what would have stopped a user: any fault, any difference.
class CountingReporter final : public LinkReporter {
public:
    int faults = 0;
    bool retryAfter(const TransferOutcome&) override { return ++faults, false; }
    void failed(const TransferOutcome&) override { ++faults; }
    bool continueAfter(const VerifyDifference&) override { return ++faults, true; }
};

// Runs the chain as the message loop does; false when it failed or took more than 30 s.
bool runChain(LinkState& link, ConfigImage& image, PosixSerialPort& port, TransferAction action) {
    SelectAction(link, action);
    beginAllAreas(link);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (transferActive(link)) {
        if (std::chrono::steady_clock::now() > limit) return false;
        StepTransfer(link, image);
        if (transferActive(link)) port.waitForIo(20);
    }
    return true;
}

}  // namespace

int main() {
    SimProcess sim;
    PosixSerialPort port;
    if (!sim.start({"--turnaround-ms", std::to_string(kTurnaroundMs)}) || port.open(sim.link()) != OpenResult::Opened) {
        std::fprintf(stderr, "link_bench: kd215-sim did not start or its line would not open\n");
        return 1;
    }
    ConfigImage image = defaultConfigImage();
    LinkState link;
    CountingReporter reporter;
    ConnectLink(link, port, reporter);

    const std::pair<const char*, TransferAction> runs[] = {{"write all", TransferAction::WriteController},
                                                           {"read all", TransferAction::ReadController},
                                                           {"verify all", TransferAction::Verify}};
    std::printf("%-11s %9s %9s %7s %9s   (median of %d)\n", "chain", "wall ms", "wire ms", "ratio", "cpu ms", kRuns);
    int slipped = 0;
    for (const auto& [name, action] : runs) {
        // Request and reply of each area; a write's reply is the 3-byte acknowledgement.
        std::size_t bytes = 0;
        for (const AreaBlock& block : kAreaBlocks) bytes += block.length + (action == TransferAction::WriteController ? 9 : 12);
        const double wire = bytes * kSecondsPerByte + kAreaBlocks.size() * kTurnaroundMs / 1e3;
        std::vector<double> walls, cpus;
        for (int run = 0; run < kRuns; ++run) {
            const double cpuBefore = cpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            if (!runChain(link, image, port, action) || reporter.faults != 0) {
                std::fprintf(stderr, "link_bench: %s did not finish cleanly\n", name);
                return 1;
            }
            walls.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            cpus.push_back(cpuSeconds() - cpuBefore);
        }
        const double wall = median(walls);
        std::printf("%-11s %9.1f %9.1f %7.2f %9.1f\n", name, wall * 1e3, wire * 1e3, wall / wire, median(cpus) * 1e3);
        if (action != TransferAction::WriteController && wall > kGoalRatio * wire) {
            std::fprintf(stderr, "link_bench: %s took %.2f times the wire time; the goal is at most %.2f\n", name,
                         wall / wire, kGoalRatio);
            ++slipped;
        }
    }
    std::printf("(goal: a read or verification in at most %.2f times the wire time; a write's acknowledgement read\n"
                " asks for 6 bytes and gets 3, so it ends on the 100 ms inter-byte time-out and is not judged)\n",
                kGoalRatio);
    return slipped > 0 ? 1 : 0;
}
