// Benchmark: kd215ctl backup over 1, 4 and 8 simulated controllers at once, each on its own pty.
// Prints the wall time against one controller's and the CPU time kd215ctl spent.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim_process_posix.h"

namespace {

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
    int failed = 0;
    for (const int count : {1, 4, 8}) {
        const std::string list = folder + "/ports-" + std::to_string(count) + ".txt";
        {
            std::ofstream out(list);
            for (int i = 0; i < count; ++i) out << sims[i]->link() << "\n";
        }
        // The best of three, as the machine is shared.
        Figures best;
        for (int round = 0; round < 3; ++round) {
            const Figures figures = backup(list, folder);
            if (!figures.ok) ++failed;
            if (round == 0 || figures.wall < best.wall) best = figures;
        }
        if (count == 1) one = best.wall;
        std::printf("%-12d %9.1f %9.2f %9.1f\n", count, best.wall * 1e3, best.wall / one, best.cpu * 1e3);
    }
    std::printf("(goal: eight in at most 1.3 times the time of one)\n");
    std::system(("rm -rf '" + folder + "'").c_str());
    if (failed > 0) std::fprintf(stderr, "many_bench: %d runs did not end in 0\n", failed);
    return failed > 0 ? 1 : 0;
}
