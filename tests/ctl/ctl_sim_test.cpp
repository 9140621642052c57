// kd215ctl against kd215-sim on a pseudo-terminal: files never left half-written or written from
// a failed read, bad files refused before anything is sent, and the line freed on every way out.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/capability.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "backup_file.h"
#include "config/area_files.h"
#include "ctl_commands.h"
#include "link/frames.h"
#include "support/sim_process.h"

namespace kd215 {
namespace {

struct CtlRun { int code; std::string out, err; };

// A configuration with values of its own in every area.
ConfigImage siteImage() {
    ConfigImage image = defaultConfigImage();
    image.common = {4, 1, 25, 35};
    for (int s = 0; s < kSceneCount; ++s) image.scenes[s].levels.fill(static_cast<uint8_t>(s * 30 + 1));
    for (Program& program : image.programs) program.steps[13].duration = 900;
    image.programs[0].endStep = 13;
    return image;
}

// The controller's 512-byte memory holding `image` in its four areas.
std::vector<uint8_t> memoryOf(const ConfigImage& image) {
    std::vector<uint8_t> memory(512, 0xA5);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(image, block.area, memory.data() + block.address);
    return memory;
}

std::string areaBytes(const ConfigImage& image, ConfigArea area) {
    const std::vector<uint8_t> bytes = encodeAreaFile(image, area);
    return std::string(bytes.begin(), bytes.end());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CtlOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kd215ctl-test-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    void startSim(const std::vector<uint8_t>& memory = memoryOf(siteImage()), const std::vector<std::string>& extra = {}) {
        sim.presetMemory(memory);
        ASSERT_TRUE(sim.start(extra));
    }
    // The command with --port naming the simulator's line.
    CtlRun onLine(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", sim.link()});
        std::ostringstream out, err;
        const int code = runKd215ctl(args, out, err, false);
        return {code, out.str(), err.str()};
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string file(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    testing::SimProcess sim;
    std::string dir_;
};

TEST_F(CtlOnSim, FailedReadWritesNoFileAndLeavesTheOldOnesAlone) {
    // A slow controller, so that the fault can be set while program 1 is being answered and
    // hit program 2, after three areas have already been read.
    startSim(memoryOf(siteImage()), {"--turnaround-ms", "500"});
    const std::string old = file("kd215.sce", "the old scenes file");
    CtlRun run{};
    std::thread tool([&] { run = onLine({"read", "all", "-o", dir_ + "/"}); });
    for (int i = 0; i < 500 && sim.frames("RX").size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sim.control("fault nak 3");
    tool.join();
    EXPECT_EQ(run.code, 4);
    EXPECT_NE(run.err.find("Błąd komunikacji : NAK\n"), std::string::npos) << run.err;
    EXPECT_EQ(sim.frames("RX").size(), 6u);  // three areas, then program 2 and its two retries
    EXPECT_EQ(listDirectory(dir_), std::vector<std::string>{"kd215.sce"});
    EXPECT_EQ(readFile(old), "the old scenes file");
}

TEST_F(CtlOnSim, FileThatCannotBeReplacedLeavesNoTemporaryBehind) {
    startSim();
    ::mkdir(path("kd215.sce").c_str(), 0755);  // the target name is taken by a directory
    const CtlRun run = onLine({"read", "scenes", "-o", dir_});
    EXPECT_EQ(run.code, 5);
    EXPECT_NE(run.err.find(path("kd215.sce") + " :\nBłąd zapisu !"), std::string::npos) << run.err;
    EXPECT_EQ(listDirectory(dir_), std::vector<std::string>{"kd215.sce"});
    EXPECT_TRUE(listDirectory(path("kd215.sce")).empty());
}

TEST_F(CtlOnSim, ShortDamagedOrNewerFilesAreRefusedBeforeAnythingIsSent) {
    startSim();
    const ConfigImage image = siteImage();
    const std::string good = writeBackupJson(image, {});
    std::string newer = good;
    newer.replace(newer.find("\"version\": 1"), 12, "\"version\": 9");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"write", "scenes", file("short.sce", areaBytes(image, ConfigArea::Scenes).substr(0, 79))},
         " :\nBłąd odczytu ! Plik ma 79 bajtów, a plik scen (.sce) ma 80."},
        {{"restore", file("cut.json", good.substr(0, good.size() / 2))}, "uszkodzony JSON: wiersz"},
        {{"restore", file("v9.json", newer)}, "nieobsługiwana wersja kopii zapasowej: 9"},
    };
    for (const auto& [args, message] : cases) {
        const CtlRun run = onLine(args);
        EXPECT_EQ(run.code, 5) << args.back();
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_TRUE(sim.frames("RX").empty());
    EXPECT_EQ(sim.memory(), memoryOf(image));
}

TEST_F(CtlOnSim, FailedRestoreSaysWhichAreasTheControllerTookAndWhichNot) {
    startSim(memoryOf(defaultConfigImage()));
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    // A bad address spoils the next read only: the check after the settings were written.
    sim.control("fault bad-address 1");
    const CtlRun cut = onLine({"restore", "--retries", "0", backup});
    EXPECT_EQ(cut.code, 4);
    EXPECT_NE(cut.err.find("Błąd komunikacji : adres zwrotny 5\nZapisano: ustawienia. "
                           "Nie zapisano: sceny, program 1, program 2.\n"), std::string::npos) << cut.err;

    // The first write refused: nothing was taken.
    sim.control("fault nak 1");
    const CtlRun refused = onLine({"write", "all", "--retries", "0", "--no-verify", backup});
    EXPECT_EQ(refused.code, 4);
    EXPECT_NE(refused.err.find("\nNie zapisano: ustawienia, sceny, program 1, program 2.\n"), std::string::npos);
}

// Starts the built kd215ctl as an ordinary user would: a tty in exclusive mode refuses every
// open but those with CAP_SYS_ADMIN, so a test run as root drops it from the bounding set.
pid_t startCtl(const std::vector<std::string>& args, int outFd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN, 0, 0, 0);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(outFd >= 0 ? outFd : null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<std::string> all = {KD215CTL_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Runs kd215ctl to its end: the exit code and what it printed.
CtlRun runCtlAsUser(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) return {-1, "", ""};
    const pid_t pid = startCtl(args, out[1]);
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text, ""};
}

TEST_F(CtlOnSim, PortIsLeftOpenToTheNextUserOnEveryWayOut) {
    startSim();
    const std::vector<std::string> version = {"version", "--port", sim.link()};
    EXPECT_EQ(runCtlAsUser(version).code, 0);
    sim.control("fault nak 3");
    EXPECT_EQ(runCtlAsUser({"version", "--port", sim.link(), "--retries", "0"}).code, 4);

    // Interrupted in the middle of an exchange that the controller never answers.
    sim.control("fault silent 3");
    const pid_t pid = startCtl(version, -1);
    for (int i = 0; i < 100 && sim.frames("RX").size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    sim.control("clear");

    const CtlRun after = runCtlAsUser(version);
    EXPECT_EQ(after.code, 0);
    EXPECT_EQ(after.out, "FW : 1.05\n");
}

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
}  // namespace kd215
