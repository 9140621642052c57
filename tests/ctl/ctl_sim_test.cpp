// kd215ctl against kd215-sim on a pseudo-terminal: files never left half-written or written from
// a failed read, bad files refused before anything is sent, and the line freed on every way out.

#include <grp.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <linux/capability.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <csignal>
#include <filesystem>
#include <thread>
#include <tuple>

#include "commands/ctl_json.h"
#include "link/pty_pair.h"
#include "link/serial_posix.h"
#include "platform/files.h"
#include "console/console.h"
#include "platform/interrupts.h"
#include "ports/port_names_posix.h"
#include "records/backup_file.h"
#include "support/ctl_harness.h"

namespace kd215 {
namespace {

// A configuration with values of its own in every area.
ConfigImage siteImage() {
    ConfigImage image = defaultConfigImage();
    image.common = {4, 1, 25, 35};
    for (int s = 0; s < kSceneCount; ++s) image.scenes[s].levels.fill(static_cast<uint8_t>(s * 30 + 1));
    for (Program& program : image.programs) program.steps[13].duration = 900;
    image.programs[0].endStep = 13;
    return image;
}

std::string areaBytes(const ConfigImage& image, ConfigArea area) {
    const std::vector<uint8_t> bytes = encodeAreaFile(image, area);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Everything written into the pipe `fd` until its last writer closes it.
std::string readAll(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

class CtlOnSim : public CtlFolderTest {
protected:
    void startSim(const std::vector<uint8_t>& memory = memoryOf(siteImage()), const std::vector<std::string>& extra = {}) {
        sim.presetMemory(memory);
        ASSERT_TRUE(sim.start(extra));
    }
    // The command with --port naming the simulator's line.
    CtlRun onLine(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", sim.link()});
        return ctl(args);
    }

    SimProcess sim;
};

// Starts the built kd215ctl as an ordinary user would: a tty in exclusive mode refuses every
// open but those with CAP_SYS_ADMIN, so a test run as root drops it from the bounding set, or
// runs it as `uid` with no privilege at all. Standard output and error both go to `outFd`.
pid_t startCtl(const std::vector<std::string>& args, int outFd, uid_t uid = 0) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN, 0, 0, 0);
        if (uid != 0 && (::setgid(uid) != 0 || ::setuid(uid) != 0)) ::_exit(126);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(outFd >= 0 ? outFd : null, STDOUT_FILENO);
        ::dup2(outFd >= 0 ? outFd : null, STDERR_FILENO);
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
CtlRun runCtlAsUser(const std::vector<std::string>& args, uid_t uid = 0) {
    int out[2];
    if (::pipe(out) != 0) return {-1, "", ""};
    const pid_t pid = startCtl(args, out[1], uid);
    ::close(out[1]);
    const std::string text = readAll(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text, ""};
}

// A process holding `line` open until it is killed: through kd215's own port, which takes the
// lock, or with a bare open and no lock. `opened` says whether it got the line.
pid_t holdLine(const std::string& line, bool locked, bool& opened) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t holder = ::fork();
    if (holder == 0) {
        PosixSerialPort port;
        const char held = locked ? port.open(line) == OpenResult::Opened : ::open(line.c_str(), O_RDWR | O_NOCTTY) >= 0;
        if (::write(ready[1], &held, 1) != 1 || !held) ::_exit(1);
        ::pause();
    }
    char held = 0;
    opened = ::read(ready[0], &held, 1) == 1 && held;
    return holder;
}

TEST_F(CtlOnSim, FailedReadWritesNoFileAndLeavesTheOldOnesAlone) {
    // A slow controller, so that the fault can be set while program 1 is being answered and
    // hit program 2, after three areas have already been read.
    startSim(memoryOf(siteImage()), {"--turnaround-ms", "500"});
    const std::string old = file("kd215.sce", "the old scenes file");
    CtlRun run{};
    std::thread tool([&] { run = onLine({"read", "all", "-o", dir_ + "/"}); });
    for (int i = 0; i < 500 && sim.frames("RX").size() < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sim.control("fault nak 3");
    tool.join();
    EXPECT_EQ(run.code, 4);
    EXPECT_NE(run.err.find("Błąd komunikacji : NAK (sterownik odmówił)\n"), std::string::npos) << run.err;
    EXPECT_EQ(sim.frames("RX").size(), 7u);  // the probe, three areas, then program 2 and its two retries
    EXPECT_EQ(listDirectory(dir_), std::vector<std::string>{"kd215.sce"});
    EXPECT_EQ(readFile(old), "the old scenes file");
}

// Each reader's own refusals are its tests'; here, that a refused file stops the command first.
TEST_F(CtlOnSim, FilesThatCannotBeUsedAreRefusedBeforeAnythingIsSent) {
    startSim();
    const std::string good = writeBackupJson(siteImage(), {});
    const std::string backup = file("site.json", good);
    const std::string other = file("other.json", writeBackupJson(defaultConfigImage(), {}));
    ::symlink(backup.c_str(), path("link.json").c_str());
    ::mkfifo(path("fifo").c_str(), 0644);
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"report", backup, "-o", backup}, 2, "to ten sam plik co " + backup},
        {{"report", "--compare", other, backup, "-o", path("link.json")}, 2, "to ten sam plik co " + backup},
        {{"restore", backup, "--log", path("link.json")}, 2, "który polecenie czyta"},
        {{"backup", path("fifo")}, 5, path("fifo") + ": to potok FIFO, nie zwykły plik"},
        {{"read", "all", "-o", path("none/")}, 5, "nie ma katalogu " + path("none")},
        {{"write", "scenes", file("short.sce", areaBytes(siteImage(), ConfigArea::Scenes).substr(0, 79))}, 5,
         "short.sce: Błąd odczytu ! Plik ma 79 bajtów, a plik scen (.sce) ma 80 bajtów.\n"},
        {{"restore", file("cut.json", good.substr(0, good.size() / 2))}, 5, "uszkodzony JSON: wiersz"},
    };
    for (const auto& [args, code, message] : cases) {
        std::vector<std::string> withPort = args;
        if (args[0] != "report") withPort.insert(withPort.begin() + 1, {"--port", sim.link()});
        const CtlRun run = ctl(withPort);
        EXPECT_EQ(run.code, code) << args[0];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_EQ(readFile(backup), good);
    EXPECT_TRUE(sim.frames("RX").empty());
}

TEST_F(CtlOnSim, FilesOfOneReadAreWrittenAllOrNoneAndKeepTheirModeAndOwner) {
    startSim();
    const ConfigImage image = siteImage();
    // An ordinary user's folder: the program file is read-only, the settings file private.
    char device[PATH_MAX];
    ASSERT_NE(::realpath(sim.link().c_str(), device), nullptr);
    ::chmod(device, 0666);
    ::chmod(dir_.c_str(), 0777);
    for (const auto& [name, mode] : {std::pair<const char*, mode_t>{"kd215.ust", 0600}, {"kd215.pg1", 0444}}) {
        file(name, "old");
        ::chown(path(name).c_str(), 65534, 65534);
        ::chmod(path(name).c_str(), mode);
    }
    const CtlRun refused = runCtlAsUser({"read", "all", "--port", device, "-o", dir_ + "/"}, 65534);
    EXPECT_EQ(refused.code, 5);
    EXPECT_NE(refused.out.find("kd215ctl: " + path("kd215.pg1") + ": Błąd zapisu ! (brak uprawnień)\n"), std::string::npos) << refused.out;
    EXPECT_EQ(listDirectory(dir_), (std::vector<std::string>{"kd215.pg1", "kd215.ust"}));
    EXPECT_EQ(readFile(path("kd215.ust")), "old");

    ::chmod(path("kd215.pg1").c_str(), 0644);
    EXPECT_EQ(runCtlAsUser({"read", "all", "--port", device, "-o", dir_ + "/"}, 65534).code, 0);
    EXPECT_EQ(readFile(path("kd215.ust")), areaBytes(image, ConfigArea::Settings));
    struct stat info {};
    ASSERT_EQ(::stat(path("kd215.ust").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    // Read again by root, as through sudo: the user's file stays the user's.
    EXPECT_EQ(onLine({"read", "settings", "-o", dir_ + "/"}).code, 0);
    ASSERT_EQ(::stat(path("kd215.ust").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // A name as long as the folder takes: the temporary's name must fit too.
    const std::string longName = path(std::string(251, 'n') + ".sce");
    EXPECT_EQ(onLine({"read", "scenes", "-o", longName}).code, 0);
    EXPECT_EQ(readFile(longName), areaBytes(image, ConfigArea::Scenes));
    // An area file's name, in whatever case, gives the base of the files read.
    EXPECT_EQ(onLine({"read", "program2", "-o", path("hala.PG2")}).code, 0);
    EXPECT_EQ(readFile(path("hala.pg2")), areaBytes(image, ConfigArea::Program2));
}

TEST_F(CtlOnSim, ValuesTheEditorsWouldRefuseAreNamedAndWrittenOnlyWithForce) {
    startSim(memoryOf(defaultConfigImage()));
    ConfigImage odd = siteImage();
    odd.common.switchOnTime = 250;
    odd.channels[2].riseTime = 5000;
    odd.channels[4].minLevel = 200;  // above its upper limit
    odd.channels[4].maxLevel = 100;
    odd.channels[5].maxLevel = 20;  // below 10%
    odd.programs[1].steps[3].duration = 1000;
    odd.programs[0].endStep = 14;  // no step the editor can mark, nor its "none"
    const std::string backup = file("odd.json", writeBackupJson(odd, {}));
    const CtlRun refused = onLine({"restore", backup});
    EXPECT_EQ(refused.code, 5);
    for (const std::string field : {"czas załączania: 250 – edytor przyjmuje 0–99",
                                    "kanał 3 czas narastania: 5000 – edytor przyjmuje 0–999",
                                    "kanał 5 limit dolny: 200 (78%) – edytor przyjmuje najwyżej 90%",
                                    "kanał 6 limit górny: 20 (7%) – edytor przyjmuje 10–100%",
                                    "program 2, scena programu 4 czas trwania: 1000 – edytor przyjmuje 0–999",
                                    "program 1 scena kończąca: 14 – edytor przyjmuje 0–13 (sceny 1–14) albo 15 (brak)"}) {
        EXPECT_NE(refused.err.find("kd215ctl: " + backup + ": " + field), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(sim.frames("RX").empty());

    const CtlRun forced = onLine({"restore", "--force", backup});
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_NE(forced.err.find("kanał 3 czas narastania: 5000 – edytor przyjmuje 0–999; zapisuję bez zmian (--force)"), std::string::npos);
    EXPECT_EQ(sim.memory(), memoryOf(odd));
}

// Runs `command`, hands the simulator `fault` once the probe came ("pull": ends the simulator
// once the request after it came), and waits for the end.
CtlRun afterTheProbe(SimProcess& sim, const std::function<CtlRun()>& command, const std::string& fault) {
    const std::size_t before = sim.frames("RX").size();
    const auto waitForFrames = [&](std::size_t n) {
        for (int i = 0; i < 500 && sim.frames("RX").size() < before + n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    CtlRun run{};
    std::thread tool([&] { run = command(); });
    waitForFrames(1);
    if (fault == "pull") {
        sim.control("fault silent 1");  // the request after the probe waits for an answer
        waitForFrames(2);
        sim.stop();
    } else {
        sim.control(fault);
    }
    tool.join();
    return run;
}

TEST_F(CtlOnSim, FailedWriteNamesEachAreaAsWrittenUnknownOrUnchanged) {
    startSim(memoryOf(defaultConfigImage()));
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    const std::string check = "; zweryfikuj: kd215ctl verify --port " + sim.link() + " all " + backup + "\n";
    // A bad address spoils the next read only: the check after the settings were written.
    sim.control("fault bad-address 1");
    const CtlRun cut = onLine({"restore", "--retries", "0", backup});
    EXPECT_EQ(cut.code, 4);
    EXPECT_NE(cut.err.find("Błąd komunikacji : adres zwrotny 5 (odpowiedź uszkodzona: zły adres zwrotny, odebrano 74 bajty)\nkd215ctl: " + sim.link() +
                           ": ustawienia – zapis potwierdzony, sceny – bez zmian (nie wysłano), program 1 – bez zmian (nie wysłano), program 2 – bez zmian (nie wysłano)" + check),
              std::string::npos) << cut.err;

    // A refused write was not stored; one whose acknowledgement came spoiled may have been. A slow
    // controller, so that the fault is set after the probe was answered.
    sim.stop();
    startSim(memoryOf(defaultConfigImage()), {"--turnaround-ms", "300"});
    for (const auto& [fault, state] : {std::pair<const char*, const char*>{"nak", "bez zmian (nie wysłano)"},
                                                                        {"bad-checksum", "stan nieznany (wysłano, brak potwierdzenia)"}}) {
        SCOPED_TRACE(fault);
        const CtlRun run = afterTheProbe(sim, [&] { return onLine({"write", "program1", "--retries", "0", "--no-verify", backup}); },
                                         std::string("fault ") + fault + " 1");
        EXPECT_EQ(run.code, 4);
        EXPECT_NE(run.err.find(": program 1 – " + std::string(state) + "; zweryfikuj: kd215ctl verify --port " + sim.link() +
                               " program1 " + backup + "\n"), std::string::npos) << run.err;
    }
}

TEST_F(CtlOnSim, PortIsLeftOpenToTheNextUserOnEveryWayOut) {
    startSim();
    const std::vector<std::string> version = {"version", "--port", sim.link()};
    EXPECT_EQ(runCtlAsUser(version).code, 0);
    sim.control("fault nak 1");  // the probe refused: no Kd215 confirmed
    EXPECT_EQ(runCtlAsUser({"version", "--port", sim.link(), "--retries", "0"}).code, 3);

    // Interrupted in the middle of an exchange that the controller never answers.
    sim.control("fault silent 3");
    const std::size_t before = sim.frames("RX").size();
    const pid_t pid = startCtl(version, -1);
    for (int i = 0; i < 100 && sim.frames("RX").size() < before + 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 130) << status;
    sim.control("clear");

    // Its output closed under it, as by `| head -c 1`: the frames of -v meet a closed pipe.
    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    const pid_t piped = startCtl({"verify", "--port", sim.link(), "-v", "all", file("b.json", writeBackupJson(siteImage(), {}))},
                                 closed[1]);
    ::close(closed[1]);
    ::waitpid(piped, nullptr, 0);

    const CtlRun after = runCtlAsUser(version);
    EXPECT_EQ(after.code, 0);
    EXPECT_EQ(after.out, "1.05\n");

    // Killed, where nothing can clear the exclusive mode: the next user is told how to recover.
    const std::size_t sent = sim.frames("RX").size();
    const pid_t killed = startCtl({"restore", "--port", sim.link(), path("b.json")}, -1);
    sim.frames("RX", sent + 1);
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    const CtlRun left = runCtlAsUser(version);
    EXPECT_EQ(left.code, 3);
    EXPECT_NE(left.out.find("sudo kd215ctl version --port " + sim.link()), std::string::npos) << left.out;
}

TEST_F(CtlOnSim, InterruptionsLeaveNoTemporaryAndSayWhatTheControllerHolds) {
    // Signalled while its files are staged: the temporaries go with the process.
    file("a.ust", "old");
    const pid_t child = ::fork();
    if (child == 0) {
        prepareConsole();
        StagedFile a, b;
        FileError error;
        stageFile(path("a.ust"), textBytes("new"), true, a, error);
        stageFile(path("b.sce"), textBytes("new"), true, b, error);
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(listDirectory(dir_), std::vector<std::string>{"a.ust"});
    EXPECT_EQ(readFile(path("a.ust")), "old");

    // Signalled under a guard, as a set's renames hold one: the set goes in whole, then the
    // process dies of it when the guard ends.
    const pid_t renaming = ::fork();
    if (renaming == 0) {
        prepareConsole();
        {
            const InterruptGuard renames;
            ::raise(SIGTERM);
            FileSetFailure failure;
            replaceFiles({{path("a.ust"), textBytes("set")}, {path("b.sce"), textBytes("set")}}, false, failure);
        }
        ::_exit(0);
    }
    ::waitpid(renaming, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(readFile(path("a.ust")) + readFile(path("b.sce")), "setset");

    // Ctrl+C part way through a restore to a slow controller.
    startSim(memoryOf(defaultConfigImage()), {"--turnaround-ms", "300"});
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = startCtl({"restore", "--port", sim.link(), "--no-verify", backup}, out[1]);
    ::close(out[1]);
    sim.frames("RX", 3);  // the probe, the settings; the scenes' write is on its way
    ::kill(pid, SIGINT);
    const std::string text = readAll(out[0]);
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 130) << status;
    EXPECT_NE(text.find(": ustawienia – zapis potwierdzony, sceny – stan nieznany (wysłano, brak potwierdzenia), program 1 – bez zmian (nie wysłano), program 2 – bez zmian (nie wysłano); "
                        "zweryfikuj: kd215ctl verify --port " + sim.link() + " all " + backup + "\n"), std::string::npos) << text;
}

TEST_F(CtlOnSim, LineIsCleanAndLockedBeforeARunTouchesIt) {
    // A run killed while the controller answers leaves the reply coming; the next one, at once,
    // must not take it for its own.
    startSim(memoryOf(siteImage()), {"--turnaround-ms", "60"});
    const pid_t killed = startCtl({"version", "--port", sim.link()}, -1);
    sim.frames("RX", 1);
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    const CtlRun next = onLine({"read", "settings", "--retries", "0", "-o", path("site.ust")});
    EXPECT_EQ(next.code, 0) << next.err;
    EXPECT_EQ(readFile(path("site.ust")), areaBytes(siteImage(), ConfigArea::Settings));

    // Held by a program that took the lock and set the line its own way: a run that finds it busy
    // leaves the line's settings as they were and sends nothing.
    const int rx = static_cast<int>(sim.frames("RX").size());
    const int held = ::open(sim.link().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    termios slow{};
    ::tcgetattr(held, &slow);
    ::cfsetspeed(&slow, B9600);
    ::tcsetattr(held, TCSANOW, &slow);
    EXPECT_EQ(onLine({"version"}).code, 3);
    termios after{};
    ::tcgetattr(held, &after);
    ::close(held);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(static_cast<int>(sim.frames("RX").size()), rx);
}

// `value` has every key its shape in the table names and no other; the records in its lists too.
void expectShape(const Json& value, const std::string& name) {
    const std::string shape = jsonShapeOf(name);
    ASSERT_FALSE(shape.empty()) << name;
    ASSERT_TRUE(value.is_object()) << name << ": " << value.dump();
    std::vector<std::string> keys;
    for (const std::string& key : jsonShapeKeys(shape)) {
        const bool optional = key.back() == '?';
        keys.push_back(optional ? key.substr(0, key.size() - 1) : key);
        EXPECT_TRUE(optional || value.contains(keys.back())) << name << " lacks " << key << ": " << value.dump();
    }
    for (const auto& [key, inner] : value.items()) {
        EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << name << " has " << key;
        // "key": [RECORD] in the shape: every element is a RECORD.
        const std::size_t at = shape.find("\"" + key + "\": [");
        if (at == std::string::npos || !inner.is_array()) continue;
        const std::size_t open = shape.find('[', at) + 1;
        for (const Json& element : inner) expectShape(element, shape.substr(open, shape.find(']', open) - open));
    }
}

TEST_F(CtlOnSim, EveryJsonResultHasItsCommandsShapeAndCarriesWhatItsTextSays) {
    startSim();
    ConfigImage other = siteImage();
    other.scenes[1].levels[4] = 7;
    other.scenes[6].riseTime = 3;
    const std::string scenes = file("other.sce", areaBytes(other, ConfigArea::Scenes));
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    const std::string otherBackup = file("other.json", writeBackupJson(other, {}));
    const std::string same = file("same.sce", areaBytes(siteImage(), ConfigArea::Scenes));
    const std::string settings = file("site.ust", areaBytes(siteImage(), ConfigArea::Settings));
    // Each command twice, as text and as JSON; `check` ties the two together.
    using Check = std::function<void(const Json& json, const std::string& text)>;
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    const auto differencesOf = [](const std::string& text) {
        const std::size_t at = text.find("Różnice: ");
        return at == std::string::npos ? 0 : std::stoi(text.substr(at + 10));
    };
    const Check none = [](const Json&, const std::string&) {};
    const Check twoDifferences = [&](const Json& j, const std::string& t) {
        ASSERT_EQ(j["differences"].size(), 2u);
        EXPECT_EQ(differencesOf(t), 2);
    };
    const std::vector<std::pair<std::vector<std::string>, Check>> cases = {
        {{"version"}, [](const Json& j, const std::string& t) { EXPECT_EQ(j["firmware"].get<std::string>() + "\n", t); }},
        {{"probe"}, [&](const Json& j, const std::string& t) { EXPECT_EQ(j["port"].get<std::string>() + "\n", t); }},
        {{"restart"}, none},
        {{"read", "scenes", "program1", "-o", dir_},
         [&](const Json& j, const std::string& t) { EXPECT_EQ(j["files"].size(), static_cast<std::size_t>(lines(t))); }},
        {{"verify", "scenes", scenes},
         [&](const Json& j, const std::string& t) {
             twoDifferences(j, t);
             if (::testing::Test::HasFatalFailure()) return;
             const Json& first = j["differences"][0];
             EXPECT_EQ(first["second"], 7);
             EXPECT_NE(t.find("  " + first["text"].get<std::string>() + "\n"), std::string::npos) << t;
         }},
        {{"write", "scenes", same}, [](const Json& j, const std::string&) { EXPECT_TRUE(j["verified"]); }},
        {{"backup", path("copy.json")},
         [](const Json& j, const std::string&) {
             // ISO 8601 with the offset: 2026-12-07T10:26:10+01:00
             EXPECT_EQ(j["created"].get<std::string>().size(), 25u);
             EXPECT_EQ(j["created"].get<std::string>()[10], 'T');
             EXPECT_EQ(j["firmware"], "1.05");
         }},
        {{"restore", backup, "--no-verify"},
         [](const Json& j, const std::string&) {
             EXPECT_EQ(j["areas"].size(), 4u);
             EXPECT_FALSE(j["verified"]);
         }},
        {{"show", scenes, settings, backup},
         [](const Json& j, const std::string&) {
             EXPECT_EQ(j["files"][0]["scenes"][1]["levels"][4], 7);
             // An area file's part has the keys of the same part of a backup.
             EXPECT_EQ(j["files"][1]["settings"].dump(), j["files"][2]["settings"].dump());
         }},
        {{"diff", scenes, same}, twoDifferences},
        {{"report", "--compare", otherBackup, backup, "-o", path("r.html")}, twoDifferences},
        {{"--version"},
         [](const Json& j, const std::string& t) { EXPECT_EQ("kd215ctl " + j["version"].get<std::string>(), t.substr(0, t.find(" ("))); }},
    };
    for (const auto& [args, check] : cases) {
        SCOPED_TRACE(args[0]);
        // Off the line: the commands that need no port, and those that find or take one of their own.
        const CommandRow* command = findCommand(args[0]);
        const bool onPort = command != nullptr && command->port == PortUse::Required;
        std::vector<std::string> withPort = args;
        if (command != nullptr && command->operands == Operands::Ports) withPort.push_back(sim.link());
        const auto run = [&](std::vector<std::string> a) { return onPort ? onLine(a) : ctl(a); };
        const CtlRun text = run(withPort);
        withPort.push_back("--json");
        const CtlRun json = run(withPort);
        EXPECT_EQ(json.code, text.code);
        const Json parsed = Json::parse(json.out, nullptr, false);
        ASSERT_FALSE(parsed.is_discarded()) << json.out << json.err;
        EXPECT_EQ(parsed["schema"], kJsonSchema);
        // Differences found end in 1, whichever command found them.
        EXPECT_EQ(text.code, parsed.contains("differences") && !parsed["differences"].empty() ? 1 : 0);
        expectShape(parsed, args[0]);
        check(parsed, text.out);
    }
}

TEST_F(CtlOnSim, PortsThatWillNotServeSayWhyAndEndWithThree) {
    startSim();
    // Held by a process started after the simulator, which has the line open too: the holder is
    // the one with the lock, not the first with the device open.
    bool opened = false;
    const pid_t holder = holdLine(sim.link(), true, opened);
    // probe passes over the busy line and a line where nobody answers, and says why of each.
    test::PtyPair silentLine;
    ASSERT_TRUE(silentLine.ready());
    const CtlRun busy = runCtlAsUser({"probe", sim.link(), silentLine.devicePath});
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_TRUE(opened);
    EXPECT_EQ(busy.code, 3);
    EXPECT_NE(busy.out.find("kd215ctl: " + sim.link() + ": port zajęty, używa go kd215_tests (PID " + std::to_string(holder) + ")\n"),
              std::string::npos) << busy.out;
    EXPECT_NE(busy.out.find("kd215ctl: " + silentLine.devicePath + ": nie odpowiedział żaden sterownik\n"), std::string::npos)
        << busy.out;

    // A line only its owner may open, and a user who is not root.
    char device[PATH_MAX];
    ASSERT_NE(::realpath(sim.link().c_str(), device), nullptr);
    struct stat info {};
    ASSERT_EQ(::stat(device, &info), 0);
    ::chmod(device, 0600);
    const CtlRun refused = runCtlAsUser({"probe", device}, 65534);
    ::chmod(device, info.st_mode & 07777);
    EXPECT_EQ(refused.code, 3);
    // Its group may not read or write it: joining the group would not help.
    EXPECT_NE(refused.out.find("(prawa 0600, właściciel root, grupa " + std::string(::getgrgid(info.st_gid)->gr_name) +
                               ") może czytać i zapisywać tylko jego właściciel root;"), std::string::npos) << refused.out;

    // Scripts get the same list, with a word for each reason, even though nothing was found.
    const CtlRun probe = ctl({"probe", "--json", "kd215-no-such-line", silentLine.devicePath});
    EXPECT_EQ(probe.code, 3);
    const Json probed = Json::parse(probe.out, nullptr, false);
    ASSERT_TRUE(probed.is_object()) << probe.out;
    EXPECT_TRUE(probed["port"].is_null());
    ASSERT_EQ(probed["tried"].size(), 2u);
    EXPECT_EQ(probed["tried"][0]["reason"], "missing");
    EXPECT_EQ(probed["tried"][1]["reason"], "silent");

    // A bare name is looked for in /dev and shown as such.
    const CtlRun missing = ctl({"version", "--port", "kd215-no-such-line"});
    EXPECT_EQ(missing.code, 3);
    EXPECT_NE(missing.err.find("kd215ctl: /dev/kd215-no-such-line: Błąd otwarcia portu ! (nie ma takiego pliku ani urządzenia)\n"),
              std::string::npos) << missing.err;
}

TEST_F(CtlOnSim, PortsNamesTheUsbAdapterByItsStableNameAndHidesPortsWithoutUart) {
    // A machine with an FTDI adapter on USB and a ttyS0 the kernel knows but no UART answers for.
    const std::string usb = "sys/devices/pci0000:00/usb1/1-2";
    for (const std::string& d : {usb + "/1-2:1.0/ttyUSB0", std::string("sys/bus/usb-serial/drivers/ftdi_sio"), std::string("sys/bus/serial-base/drivers/port"),
                                 std::string("sys/class/tty/ttyUSB0"), std::string("sys/class/tty/ttyS0"),
                                 std::string("dev/serial/by-id"), std::string("run/udev/data")}) {
        std::system(("mkdir -p '" + path(d) + "'").c_str());
    }
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {usb + "/idVendor", "0403\n"}, {usb + "/idProduct", "6001\n"}, {usb + "/manufacturer", "FTDI\n"},
             {usb + "/serial", "A50285BI\n"}, {"sys/class/tty/ttyUSB0/dev", "188:0\n"},
             {"sys/class/tty/ttyS0/type", "0\n"}, {"sys/class/tty/ttyS0/uart", "unknown\n"}, {"dev/ttyUSB0", ""},
             {"dev/ttyS0", ""}, {"run/udev/data/c188:0", "E:ID_MODEL_FROM_DATABASE=FT232 Serial (UART) IC\n"}}) {
        file(name, text);
    }
    // The kernel's serial layer binds its own "port" driver to the tty; the adapter's module sits above.
    ::symlink(path("sys/bus/serial-base/drivers/port").c_str(), path(usb + "/1-2:1.0/ttyUSB0/driver").c_str());
    ::symlink(path("sys/bus/usb-serial/drivers/ftdi_sio").c_str(), path(usb + "/1-2:1.0/driver").c_str());
    ::symlink(path(usb + "/1-2:1.0/ttyUSB0").c_str(), path("sys/class/tty/ttyUSB0/device").c_str());
    const std::string stable = path("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ::symlink("../../ttyUSB0", stable.c_str());

    const PortRoots roots{path("sys"), path("dev"), path("run/udev")};
    const std::vector<PortEntry> ports = listSerialPortsUnder(roots, false);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, stable);
    EXPECT_EQ(ports[0].device, path("dev/ttyUSB0"));
    EXPECT_EQ(ports[0].description, "FT232 Serial (UART) IC");
    EXPECT_EQ(ports[0].manufacturer + " " + ports[0].vendorId + ":" + ports[0].productId + " " + ports[0].serial + " " +
                  ports[0].driver,
              "FTDI 0403:6001 A50285BI ftdi_sio");
    EXPECT_EQ(listSerialPortsUnder(roots, true).size(), 2u);
}

// Every RX frame the simulator logged was the probe.
bool onlyProbesSent(const SimProcess& sim) {
    const std::vector<std::string> frames = sim.frames("RX");
    return !frames.empty() && std::all_of(frames.begin(), frames.end(), [](const std::string& f) { return f == "1B 03 E2"; });
}

// Every command confirms the controller the same way before it sends anything; a silent port is
// given up after a probe time-out per try, not an area's (three tries of a settings read took 27 s).
TEST_F(CtlOnSim, ALineThatIsNotAKd215GetsNothingButTheProbe) {
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    const std::string unchanged = ": ustawienia – bez zmian (nie wysłano), sceny – bez zmian (nie wysłano), program 1 – bez zmian (nie wysłano), program 2 – bez zmian (nie wysłano); ";
    // Another device (it answers the probe with bytes of its own), then nothing at all.
    for (const auto& [fault, words] : {std::pair<const char*, const char*>{"garbage:20", "odpowiedziało urządzenie, które nie jest sterownikiem Kd215"},
                                       {"silent:20", "nie odpowiedział żaden sterownik Kd215; sprawdź kabel, zasilanie i port\n"}}) {
        SCOPED_TRACE(fault);
        startSim(memoryOf(defaultConfigImage()), {"--fault", fault});
        const auto started = std::chrono::steady_clock::now();
        const CtlRun restored = onLine({"restore", backup});
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 5.0);  // a gross bound
        EXPECT_EQ(restored.code, 3);
        EXPECT_NE(restored.err.find(sim.link() + ": " + words), std::string::npos) << restored.err;
        EXPECT_NE(restored.err.find(sim.link() + unchanged), std::string::npos) << restored.err;
        EXPECT_EQ(restored.err.find("brak odpowiedzi – ponowienie 1 z 2") != std::string::npos, fault == std::string("silent:20"));
        EXPECT_EQ(onLine({"write", "scenes", backup}).code, 3);
        const CtlRun restarted = onLine({"restart", "--json"});
        EXPECT_EQ(restarted.code, 3);
        EXPECT_EQ(restarted.out, "");
        EXPECT_TRUE(onlyProbesSent(sim));
        EXPECT_EQ(sim.memory(), memoryOf(defaultConfigImage()));
        sim.stop();
    }
}

TEST_F(CtlOnSim, APortHeldOpenWithoutALockIsNamedWithItsHolderAndGetsNothing) {
    startSim(memoryOf(defaultConfigImage()));
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    bool opened = false;
    const pid_t holder = holdLine(sim.link(), false, opened);  // as a terminal emulator holds it
    const CtlRun run = onLine({"restore", backup});
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_TRUE(opened);
    EXPECT_EQ(run.code, 3);
    EXPECT_NE(run.err.find(sim.link() + ": port zajęty – otwarty także przez kd215_tests (PID " + std::to_string(holder) +
                           "); nic nie wysłano\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(": ustawienia – bez zmian (nie wysłano), sceny – bez zmian (nie wysłano)"), std::string::npos) << run.err;
    EXPECT_TRUE(sim.frames("RX").empty());
    EXPECT_EQ(onLine({"restore", backup}).code, 0);  // once it let go
}

TEST_F(CtlOnSim, EachFailureIsNamedByWhatCameBackBesideTheProgramsText) {
    const std::string backup = file("site.json", writeBackupJson(siteImage(), {}));
    struct Case { std::vector<std::string> args; std::string fault, words; int code; };
    const std::vector<Case> cases = {
        {{"write", "scenes", "--retries", "0", backup}, "fault nak 1", "Błąd komunikacji : NAK (sterownik odmówił)\n", 4},
        {{"write", "scenes", backup}, "fault silent 5", "Błąd komunikacji : NAK (brak odpowiedzi)\n", 3},
        {{"read", "settings", "--retries", "0", "-o", dir_ + "/"}, "fault bad-checksum 1",
         "Błąd komunikacji : suma kontrolna = 255 (odpowiedź uszkodzona: zła suma kontrolna, odebrano 74 bajty)\n", 4},
        {{"read", "settings", "--retries", "0", "-o", dir_ + "/"}, "fault short-reply 1",
         "(odpowiedź uszkodzona: odebrano 37 bajtów)\n", 4},
        {{"read", "settings", "-o", dir_ + "/"}, "pull", "Kod błędu : 5 (adapter odłączony)\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        startSim(memoryOf(siteImage()), {"--turnaround-ms", "300"});
        const auto started = std::chrono::steady_clock::now();
        const CtlRun run = afterTheProbe(sim, [&] { return onLine(c.args); }, c.fault);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.code, c.code);
        EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
        // Silence mid-run costs one probe after the request's own wait, not every retry's wait.
        if (c.fault == "fault silent 5") {
            EXPECT_NE(run.err.find("sterownik przestał odpowiadać"), std::string::npos);
        }
        if (c.fault == "pull") {
            EXPECT_LT(seconds, 6.0);  // the settings read alone would wait 9 s; a loaded machine adds seconds
        }
        sim.stop();
    }
}

TEST_F(CtlOnSim, BackupOfValuesTheEditorsRefuseIsMadeWithAWarningThatRestoringNeedsForce) {
    startSim(std::vector<uint8_t>(512, 0xFF));  // an erased controller
    const CtlRun run = onLine({"backup", path("erased.json")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, path("erased.json") + "\n");
    EXPECT_NE(run.err.find("czas załączania: 255 – edytor przyjmuje 0–99\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(": sterownik ma wartości, których edytory nie przyjmą ("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(98, pierwsze 5 powyżej); odtworzenie tej kopii zapasowej wymaga opcji --force\n"), std::string::npos)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 6);
    EXPECT_EQ(onLine({"restore", path("erased.json")}).code, 5);
}

TEST_F(CtlOnSim, BackupsOfInvertedInputsGoBackByteForByteAndVerifyClean) {
    // The editors store an inverted input as 255 (so do the page's backups), a read from the
    // controller as 1; the controller keeps one bit per channel either way.
    ConfigImage image = siteImage();
    image.channels[0].inputInverted = 255;
    image.channels[6].inputInverted = 255;
    const std::string fromEditor = file("editor.json", writeBackupJson(image, {}));
    startSim(memoryOf(image));
    ASSERT_EQ(onLine({"backup", path("controller.json")}).code, 0);
    EXPECT_NE(readFile(path("controller.json")).find("\"inputInverted\": 1"), std::string::npos);
    for (const std::string& backup : {fromEditor, path("controller.json")}) {
        sim.presetMemory(memoryOf(defaultConfigImage()));
        sim.control("reload");
        const CtlRun restored = onLine({"restore", backup});
        EXPECT_EQ(restored.code, 0) << backup << "\n" << restored.out;
        EXPECT_EQ(restored.out.find("inwersja"), std::string::npos) << restored.out;
        EXPECT_EQ(sim.memory(), memoryOf(image)) << backup;
        const CtlRun verified = onLine({"verify", "all", backup});
        EXPECT_EQ(verified.code, 0) << backup << "\n" << verified.out;
    }
}

}  // namespace
}  // namespace kd215
