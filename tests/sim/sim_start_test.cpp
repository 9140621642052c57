// kd215-sim's own command line: paths it could never use are refused at its start.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

// The simulator stands in for the controller in every test: paths it could never use are refused
// at its start, not at the first write or control check when nobody is looking.
TEST(SimulatorStart, MemoryFolderAndControlFileInAMissingFolderAreUsageErrors) {
    char pattern[] = "/tmp/kd215-simargs-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const auto run = [&dir](const std::string& args) {
        std::string output;
        FILE* pipe = ::popen(("timeout 5 " + std::string(KD215_SIM_PATH) + " --link " + dir + "/port " + args + " 2>&1").c_str(), "r");
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        const int status = ::pclose(pipe);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, output);
    };
    const auto folder = run("--memory " + dir);
    EXPECT_EQ(folder.first, 2) << folder.second;
    EXPECT_NE(folder.second.find("is not a regular file"), std::string::npos) << folder.second;
    const auto control = run("--control " + dir + "/none/control");
    EXPECT_EQ(control.first, 2) << control.second;
    EXPECT_NE(control.second.find("does not exist"), std::string::npos) << control.second;
    ::rmdir(dir.c_str());
}

}  // namespace
