// Benchmark: kd215ctl backup over 1, 4 and 8 simulated controllers at once, each on its own pty.
// Prints the wall time against one controller's and the CPU time kd215ctl spent; fails when the
// median of eight takes more than kGoalRatio times the median of one.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim_process_posix.h"

namespace {

// Eight controllers at once in at most 1.3 times the time of one, judged on medians of kRuns.
constexpr double kGoalRatio = 1.3;
constexpr int kRuns = 5;

struct Figures {
    bool ok = false;
    double wall = 0, cpu = 0;
};

// One `kd215ctl backup --ports-from LIST DIR/{port}.json` run, timed from outside.
Figures backup(const std::string& list, const std::string& folder) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string output = folder + "/{port}.json";
        ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);  // the figures only
        ::execl(KD215CTL_PATH, KD215CTL_PATH, "backup", "-q", "--ports-from", list.c_str(), output.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Figures figures;
    figures.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

}  // namespace

int main() {
    std::vector<std::unique_ptr<kd215::SimProcess>> sims;
    for (int i = 0; i < 8; ++i) {
        sims.push_back(std::make_unique<kd215::SimProcess>());
        if (!sims.back()->start({"--turnaround-ms", "3"})) {
            std::fprintf(stderr, "many_bench: kd215-sim %d did not start\n", i + 1);
            return 1;
        }
    }
    char pattern[] = "/tmp/kd215-many-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    std::printf("%-12s %9s %9s %9s\n", "controllers", "wall ms", "vs one", "cpu ms");
    double one = 0;
    double ratio = 0;  // the last count's, eight's
    int failed = 0;
    for (const int count : {1, 4, 8}) {
        const std::string list = folder + "/ports-" + std::to_string(count) + ".txt";
        {
            std::ofstream out(list);
            for (int i = 0; i < count; ++i) out << sims[i]->link() << "\n";
        }
        // The median of several, as the machine is shared.
        std::vector<Figures> rounds;
        for (int round = 0; round < kRuns; ++round) {
            rounds.push_back(backup(list, folder));
            if (!rounds.back().ok) ++failed;
        }
        std::sort(rounds.begin(), rounds.end(), [](const Figures& a, const Figures& b) { return a.wall < b.wall; });
        const Figures& middle = rounds[rounds.size() / 2];
        if (count == 1) one = middle.wall;
        ratio = middle.wall / one;
        std::printf("%-12d %9.1f %9.2f %9.1f\n", count, middle.wall * 1e3, ratio, middle.cpu * 1e3);
    }
    std::printf("(goal: eight in at most %.1f times the time of one; medians of %d runs)\n", kGoalRatio, kRuns);
    std::system(("rm -rf '" + folder + "'").c_str());
    if (failed > 0) std::fprintf(stderr, "many_bench: %d runs did not end in 0\n", failed);
    if (ratio > kGoalRatio) std::fprintf(stderr, "many_bench: eight took %.2f times one; the goal is %.1f\n", ratio, kGoalRatio);
    return failed > 0 || ratio > kGoalRatio ? 1 : 0;
}
