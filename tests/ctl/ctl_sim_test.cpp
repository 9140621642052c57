// kd215ctl against kd215-sim on a pseudo-terminal: every command, every exit code, the faults
// with their retries, bad files, and files that are never left half-written.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <linux/capability.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "backup_file.h"
#include "config/area_files.h"
#include "ctl_commands.h"
#include "link/frames.h"
#include "link/port_list.h"
#include "platform/pty_posix.h"
#include "support/sim_process.h"

namespace kd215 {
namespace {

using testing::SimProcess;

struct CtlRun {
    int code;
    std::string out;
    std::string err;
};

// A configuration with a value of its own almost everywhere.
ConfigImage siteImage() {
    ConfigImage image = defaultConfigImage();
    image.common = {4, 1, 25, 35};
    for (int i = 0; i < kChannelCount; ++i) {
        image.channels[i] = {static_cast<uint8_t>(10 + i), static_cast<uint8_t>(200 + i), static_cast<uint16_t>(100 + i),
                             static_cast<uint16_t>(300 + i), static_cast<uint16_t>(500 + i),
                             static_cast<uint8_t>(i % 2), 0};
    }
    for (int s = 0; s < kSceneCount; ++s) {
        for (int c = 0; c < kChannelCount; ++c) image.scenes[s].levels[c] = static_cast<uint8_t>(s * 30 + c);
        image.scenes[s].riseTime = static_cast<uint16_t>(s + 1);
    }
    for (int p = 0; p < kProgramCount; ++p) {
        for (int k = 0; k < kStepCount; ++k) {
            ProgramStep& step = image.programs[p].steps[k];
            for (int c = 0; c < kChannelCount; ++c) step.levels[c] = static_cast<uint8_t>(p * 90 + k * 11 + c);
            step.riseTime = static_cast<uint16_t>(k * 3);
            step.duration = static_cast<uint16_t>(900 + k);
        }
        image.programs[p].endStep = static_cast<uint8_t>(p == 0 ? 13 : 6);
    }
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

std::vector<uint8_t> areaOf(const std::vector<uint8_t>& memory, ConfigArea area) {
    const AreaBlock& block = areaBlock(area);
    return std::vector<uint8_t>(memory.begin() + block.address, memory.begin() + block.address + block.length);
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

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
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

    CtlRun ctl(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = runKd215ctl(args, out, err, false);
        return {code, out.str(), err.str()};
    }

    // The command with --port naming the simulator's line.
    CtlRun onLine(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", sim.link()});
        return ctl(args);
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string file(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    std::string backupOf(const ConfigImage& image, const std::string& name = "site.json") const {
        return file(name, writeBackupJson(image, {}));
    }

    SimProcess sim;
    std::string dir_;
};

TEST_F(CtlOnSim, VersionPrintsTheFirmwareText) {
    startSim(memoryOf(siteImage()), {"--firmware", "2.07"});
    const CtlRun run = onLine({"version"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "FW : 2.07\n");
    EXPECT_EQ(sim.frames("RX"), std::vector<std::string>{"12 03 EB"});
}

TEST_F(CtlOnSim, RestartSendsTheRestartFrameAndWaitsForNothing) {
    startSim();
    const CtlRun run = onLine({"restart"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(sim.framesAtLeast("RX", 1), std::vector<std::string>{"0F 03 EE"});
    EXPECT_TRUE(sim.frames("TX").empty());
}

TEST_F(CtlOnSim, ProbeNamesThePortWhereTheControllerAnswered) {
    startSim();
    const CtlRun found = ctl({"probe", path("no-such-port"), sim.link()});
    EXPECT_EQ(found.code, 0) << found.err;
    EXPECT_EQ(found.out, sim.link() + "\n");
    EXPECT_EQ(sim.frames("RX"), std::vector<std::string>{"1B 03 E2"});

    const CtlRun none = ctl({"probe", path("no-such-port")});
    EXPECT_EQ(none.code, 3);
    EXPECT_NE(none.err.find("Nie znalazłem sterownika Kd215 !"), std::string::npos);
}

TEST_F(CtlOnSim, ProbeUnansweredIsNoControllerEvenWhenTheLineWorks) {
    startSim(memoryOf(siteImage()), {"--fault", "no-probe:1"});
    const CtlRun run = ctl({"probe", "--port", sim.link()});
    EXPECT_EQ(run.code, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(onLine({"version"}).code, 0);
}

TEST_F(CtlOnSim, PortsListsTheSerialLinesOfThisMachine) {
    const std::vector<std::string> expected = ListPorts();
    const CtlRun run = ctl({"ports"});
    if (expected.empty()) {
        EXPECT_EQ(run.code, 3);
        EXPECT_EQ(run.err, "Brak dostępnych portów szeregowych\n");
        return;
    }
    EXPECT_EQ(run.code, 0);
    std::istringstream lines(run.out);
    std::string line;
    for (const std::string& port : expected) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(0, port.size()), port);
    }
}

TEST_F(CtlOnSim, ReadWritesTheAreaFilesUnderTheBaseOrInTheDirectory) {
    const ConfigImage image = siteImage();
    startSim(memoryOf(image));
    const CtlRun named = onLine({"read", "all", "-o", path("hall.ust")});
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_EQ(named.out, path("hall.ust") + "\n" + path("hall.sce") + "\n" + path("hall.pg1") + "\n" + path("hall.pg2") + "\n");
    for (const AreaBlock& block : kAreaBlocks) {
        EXPECT_EQ(readFile(path(std::string("hall.") + block.fileExtension)), areaBytes(image, block.area))
            << block.fileExtension;
    }
    ::mkdir(path("into").c_str(), 0755);
    const CtlRun directory = onLine({"read", "program2", "scenes", "-o", path("into")});
    ASSERT_EQ(directory.code, 0) << directory.err;
    EXPECT_EQ(listDirectory(path("into")), (std::vector<std::string>{"kd215.pg2", "kd215.sce"}));
    EXPECT_EQ(sim.frames("RX").back(), "12 46 50 00 50 08");  // in the order named
}

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
    EXPECT_EQ(countOf(run.err, "Błąd komunikacji : NAK – ponawiam"), 2);
    EXPECT_NE(run.err.find("Błąd komunikacji : NAK\n"), std::string::npos);
    const std::vector<std::string> frames = sim.frames("RX");
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[5], "12 46 4A 01 AA B3");
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

    const CtlRun noDirectory = onLine({"backup", path("missing/site.json")});
    EXPECT_EQ(noDirectory.code, 5);
}

TEST_F(CtlOnSim, WriteStoresTheFileAndReadsItBackUnlessToldNot) {
    startSim(memoryOf(defaultConfigImage()));
    const ConfigImage image = siteImage();
    const CtlRun run = onLine({"write", "scenes", "settings", file("a.sce", areaBytes(image, ConfigArea::Scenes)),
                               file("a.ust", areaBytes(image, ConfigArea::Settings))});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Zapisano do sterownika: sceny, ustawienia.\nBrak różnic.\n");
    const std::vector<uint8_t> memory = sim.memory();
    for (const ConfigArea area : {ConfigArea::Scenes, ConfigArea::Settings}) {
        std::vector<uint8_t> payload(areaBlock(area).length);
        encodeAreaPayload(image, area, payload.data());
        EXPECT_EQ(areaOf(memory, area), payload);
    }
    const std::vector<std::string> frames = sim.frames("RX");
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].substr(0, 14), "11 46 50 00 50");
    EXPECT_EQ(frames[1], "12 46 50 00 50 08");

    const CtlRun unchecked = onLine({"write", "scenes", "--no-verify", path("a.sce")});
    EXPECT_EQ(unchecked.code, 0);
    EXPECT_EQ(unchecked.out, "Zapisano do sterownika: sceny.\n");
    EXPECT_EQ(sim.frames("RX").size(), 5u);
}

TEST_F(CtlOnSim, WritingAProgramFileKeepsTheControllersLastStepsAndEndStep) {
    const ConfigImage controller = siteImage();
    startSim(memoryOf(controller));
    ConfigImage fromFile = defaultConfigImage();
    for (int k = 0; k < kStepCount; ++k) fromFile.programs[0].steps[k].duration = 42;
    const CtlRun run = onLine({"write", "program1", file("new.pg1", areaBytes(fromFile, ConfigArea::Program1))});
    EXPECT_EQ(run.code, 0) << run.err;

    ConfigImage expected = controller;
    for (int k = 0; k < 12; ++k) expected.programs[0].steps[k] = fromFile.programs[0].steps[k];
    EXPECT_EQ(areaOf(sim.memory(), ConfigArea::Program1), areaOf(memoryOf(expected), ConfigArea::Program1));
    EXPECT_EQ(sim.frames("RX").size(), 3u);  // read first, write, read back
}

TEST_F(CtlOnSim, VerifyPrintsEveryDifferenceInTheProgramsWords) {
    ConfigImage controller = siteImage();
    startSim(memoryOf(controller));
    ConfigImage pc = controller;
    pc.scenes[1].levels[4] = 128;
    pc.scenes[1].riseTime = 77;
    pc.channels[2].inputInverted = 255;
    pc.common.switchOffTime = 9;
    const CtlRun run = onLine({"verify", "scenes", "settings", file("pc.sce", areaBytes(pc, ConfigArea::Scenes)),
                               file("pc.ust", areaBytes(pc, ConfigArea::Settings))});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(run.out,
              "Weryfikacja: sceny (plik <> sterownik)\n"
              "  Błąd weryfikacji : scena 2 kanał 5 ( 128 <> 34 )\n"
              "  Błąd weryfikacji czasu narastania : scena 2 ( 77 <> 2 )\n"
              "Weryfikacja: ustawienia (sterownik <> plik)\n"
              "  Błąd weryfikacji polaryzacji wejść maska błędu : 4\n"
              "  Błąd weryfikacji czasu wyłączania : ( 35 <> 9 )\n"
              "Różnice: 4.\n");
    EXPECT_EQ(sim.memory(), memoryOf(controller));  // verification changes nothing
}

TEST_F(CtlOnSim, ProgramFileIsComparedOnlyInWhatItHoldsABackupInEverything) {
    ConfigImage controller = siteImage();
    startSim(memoryOf(controller));
    ConfigImage pc = controller;
    pc.programs[1].steps[13].duration = 1;  // not in a program file
    pc.programs[1].endStep = 2;             // nor this
    EXPECT_EQ(onLine({"verify", "program2", file("p.pg2", areaBytes(pc, ConfigArea::Program2))}).code, 0);
    const CtlRun full = onLine({"verify", "program2", backupOf(pc)});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.out.find("Błąd weryfikacji czasu trwania : scena 14 ( 1 <> 913 )"), std::string::npos) << full.out;
    EXPECT_NE(full.out.find("Błąd weryfikacji długości programu 2 ( 2 <> 6 )"), std::string::npos);
}

TEST_F(CtlOnSim, BackupThenRestoreBringsAChangedControllerBack) {
    const ConfigImage site = siteImage();
    startSim(memoryOf(site), {"--firmware", "1.07"});
    const CtlRun backup = onLine({"backup", path("site.json")});
    ASSERT_EQ(backup.code, 0) << backup.err;
    EXPECT_EQ(backup.out, path("site.json") + "\n");
    EXPECT_NE(readFile(path("site.json")).find("\"firmware\": \"1.07\""), std::string::npos);

    ConfigImage changed = site;
    changed.programs[0].steps[13].levels[0] = 1;
    changed.programs[1].endStep = kNoEndStep;
    changed.common.operatingMode = 0;
    sim.presetMemory(memoryOf(changed));
    sim.control("reload");
    const CtlRun before = onLine({"verify", "all", path("site.json")});
    EXPECT_EQ(before.code, 1);
    EXPECT_EQ(countOf(before.out, "\n  Błąd weryfikacji"), 3) << before.out;

    const CtlRun restore = onLine({"restore", path("site.json")});
    EXPECT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(restore.out, "Zapisano do sterownika: ustawienia, sceny, program 1, program 2.\nBrak różnic.\n");
    EXPECT_EQ(sim.memory(), memoryOf(site));
    const CtlRun after = onLine({"verify", "all", path("site.json")});
    EXPECT_EQ(after.code, 0);
    EXPECT_EQ(after.out, "Brak różnic.\n");
}

TEST_F(CtlOnSim, FailedRestoreSaysWhichAreasTheControllerTookAndWhichNot) {
    startSim(memoryOf(defaultConfigImage()));
    const std::string backup = backupOf(siteImage());
    // A bad address spoils the next read only: the check after the settings were written.
    sim.control("fault bad-address 1");
    const CtlRun cut = onLine({"restore", "--retries", "0", backup});
    EXPECT_EQ(cut.code, 4);
    EXPECT_NE(cut.err.find("Błąd komunikacji : adres zwrotny 5\nZapisano: ustawienia. Nie zapisano: sceny, program 1, "
                           "program 2.\n"),
              std::string::npos)
        << cut.err;

    // The first write refused: nothing was taken.
    sim.control("fault nak 1");
    const CtlRun refused = onLine({"write", "all", "--retries", "0", "--no-verify", backup});
    EXPECT_EQ(refused.code, 4);
    EXPECT_NE(refused.err.find("\nNie zapisano: ustawienia, sceny, program 1, program 2.\n"), std::string::npos)
        << refused.err;
}

struct FaultCase {
    const char* kind;
    const char* firstText;  // the first communication error begins so
    int exhaustedCode;      // when the faults outlast the retries
};

class CtlFaults : public CtlOnSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CtlFaults, AreRetriedAndReportedWhenTheRetriesRunOut) {
    const FaultCase& fault = GetParam();
    startSim(memoryOf(siteImage()), {"--fault", std::string(fault.kind) + ":2"});
    const CtlRun ridden = onLine({"version"});  // two retries by default
    EXPECT_EQ(ridden.code, 0) << ridden.err;
    EXPECT_EQ(ridden.out, "FW : 1.05\n");
    EXPECT_EQ(countOf(ridden.err, " – ponawiam ("), 2) << ridden.err;
    EXPECT_EQ(ridden.err.rfind(fault.firstText, 0), 0u) << ridden.err;
    EXPECT_EQ(sim.frames("RX").size(), 3u);

    sim.control(std::string("fault ") + fault.kind + " 2");
    const CtlRun exhausted = onLine({"version", "--retries", "1"});
    EXPECT_EQ(exhausted.code, fault.exhaustedCode) << exhausted.err;
    EXPECT_TRUE(exhausted.out.empty());
    EXPECT_EQ(countOf(exhausted.err, " – ponawiam (1 z 1)"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CtlFaults,
    ::testing::Values(FaultCase{"nak", "Błąd komunikacji : NAK – ponawiam (1 z 2)", 4},
                      FaultCase{"bad-checksum", "Błąd komunikacji : suma kontrolna = 255", 4},
                      FaultCase{"short-reply", "Błąd komunikacji : brak danych : 4", 4},
                      FaultCase{"garbage", "Błąd komunikacji : ", 4},
                      FaultCase{"bad-address", "Błąd komunikacji : adres zwrotny 1", 4},
                      FaultCase{"wrong-length", "Błąd komunikacji : brak danych : 8", 4},
                      // Nothing at all came back: no controller rather than a bad one.
                      FaultCase{"silent", "Błąd komunikacji : brak danych : 0", 3}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name = info.param.kind;
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

TEST_F(CtlOnSim, RefusedWriteIsSentAgainAndAnUnansweredOneMeansNoController) {
    startSim(memoryOf(defaultConfigImage()), {"--fault", "nak:1"});
    const ConfigImage image = siteImage();
    const std::string scenes = file("a.sce", areaBytes(image, ConfigArea::Scenes));
    const CtlRun retried = onLine({"write", "scenes", "--no-verify", scenes});
    EXPECT_EQ(retried.code, 0) << retried.err;
    EXPECT_EQ(retried.err, "Błąd komunikacji : NAK – ponawiam (1 z 2)\n");
    EXPECT_EQ(sim.frames("RX").size(), 2u);
    EXPECT_EQ(areaOf(sim.memory(), ConfigArea::Scenes), areaOf(memoryOf(image), ConfigArea::Scenes));

    sim.control("unplug");
    const CtlRun unplugged = onLine({"write", "scenes", "--retries", "0", scenes});
    EXPECT_EQ(unplugged.code, 3);
    EXPECT_EQ(unplugged.err,
              "Błąd komunikacji : NAK\nNie znalazłem sterownika Kd215 !\nPodłącz urządzenie, przygotuj do "
              "transmisji\ni spróbuj ponownie.\n");
}

TEST_F(CtlOnSim, PortThatWillNotOpenIsExitThree) {
    const CtlRun run = ctl({"version", "--port", path("no-such-port")});
    EXPECT_EQ(run.code, 3);
    EXPECT_EQ(run.err.rfind("Błąd otwarcia portu ! (" + path("no-such-port") + ": ", 0), 0u) << run.err;
}

TEST_F(CtlOnSim, BadFilesAreRefusedBeforeAnythingIsSent) {
    startSim();
    const ConfigImage image = siteImage();
    const std::string good = writeBackupJson(image, {});
    std::string badVersion = good;
    badVersion.replace(badVersion.find("\"version\": 1"), 12, "\"version\": 9");

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"write", "scenes", file("short.sce", areaBytes(image, ConfigArea::Scenes).substr(0, 79))},
         " :\nBłąd odczytu ! Plik ma 79 bajtów, a plik scen (.sce) ma 80."},
        {{"write", "settings", file("s.sce", areaBytes(image, ConfigArea::Scenes))},
         "zły rodzaj pliku: to plik scen (.sce), a obszar settings (ustawienia) potrzebuje"},
        {{"write", "all", file("one.ust", areaBytes(image, ConfigArea::Settings))}, "a obszar scenes (sceny)"},
        {{"restore", path("s.sce")}, "to nie kopia zapasowa, tylko plik scen (.sce)"},
        {{"restore", file("cut.json", good.substr(0, good.size() / 2))}, "uszkodzony JSON: wiersz"},
        {{"restore", file("v9.json", badVersion)}, "nieobsługiwana wersja kopii zapasowej: 9"},
        {{"verify", "all", path("absent.json")}, "Plik " + path("absent.json") + " nie istnieje !"},
    };
    for (const Case& c : cases) {
        const CtlRun run = onLine(c.args);
        EXPECT_EQ(run.code, 5) << c.args[0] << " " << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_TRUE(sim.frames("RX").empty());
    EXPECT_EQ(sim.memory(), memoryOf(siteImage()));
}

TEST_F(CtlOnSim, LogHoldsEveryFrameWithTimeDirectionHexAndAscii) {
    startSim();
    const std::string log = path("frames.log");
    ASSERT_EQ(onLine({"version", "--log", log}).code, 0);
    ASSERT_EQ(onLine({"read", "scenes", "-o", dir_, "--log", log}).code, 0);
    const std::string text = readFile(log);
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
    EXPECT_TRUE(std::regex_search(text, std::regex(stamp + R"(TX 12 03 EB  \|\.\.\.\|\n)"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex(stamp + R"(RX 13 06 00 00 02 05 01 DF  \|\.\.\.\.\.\.\.\.\|\n)")));
    EXPECT_TRUE(std::regex_search(text, std::regex(stamp + R"(TX 12 46 50 00 50 08  \|\.FP\.P\.\|\n)")));
    EXPECT_EQ(countOf(text, "-- kd215ctl "), 2);  // appended, one run after the other
    EXPECT_EQ(countOf(text, "-- kod wyjścia 0"), 2);
}

TEST_F(CtlOnSim, ShowAndDiffReadTheFilesTheToolWrites) {
    startSim();
    ASSERT_EQ(onLine({"backup", path("a.json")}).code, 0);
    ASSERT_EQ(onLine({"read", "scenes", "-o", path("a")}).code, 0);

    const CtlRun shown = ctl({"show", path("a.sce"), path("a.json")});
    EXPECT_EQ(shown.code, 0);
    EXPECT_NE(shown.out.find("Program 1, scena kończąca: 13 (scena 14)"), std::string::npos);
    const CtlRun json = ctl({"show", "--json", path("a.sce"), path("nothing.sce")});
    EXPECT_EQ(json.code, 5);  // the missing file is reported, the other still shown
    EXPECT_EQ(json.out.rfind("[\n{\n  \"file\": ", 0), 0u) << json.out;

    ConfigImage other = siteImage();
    other.scenes[0].riseTime = 600;
    EXPECT_EQ(ctl({"diff", path("a.json"), backupOf(siteImage(), "same.json")}).code, 0);
    const CtlRun differs = ctl({"diff", path("a.json"), backupOf(other, "other.json")});
    EXPECT_EQ(differs.code, 1);
    EXPECT_EQ(differs.out, "scena 1 czas narastania: 1 <> 600\nRóżnice: 1.\n");
    const CtlRun kinds = ctl({"diff", path("a.json"), path("a.sce")});
    EXPECT_EQ(kinds.code, 5);
    EXPECT_NE(kinds.err.find("pliki różnego rodzaju"), std::string::npos);
}

TEST(CtlUsage, MistakesOnTheCommandLineAreExitTwoWithAReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "brak polecenia"},
        {{"fetch"}, "nieznane polecenie \"fetch\""},
        {{"version"}, "potrzebuje --port PORT"},
        {{"read", "--port", "/dev/null"}, "potrzebuje obszaru"},
        {{"read", "lights", "--port", "/dev/null"}, "nieznany obszar \"lights\""},
        {{"read", "scenes", "scenes", "--port", "/dev/null"}, "obszar scenes podany więcej niż raz"},
        {{"read", "all", "scenes", "--port", "/dev/null"}, "podany więcej niż raz"},
        {{"write", "scenes", "--port", "/dev/null"}, "co najmniej 1 pliku"},
        {{"write", "scenes", "settings", "--port", "/dev/null", "a", "b", "c"}, "potrzeba pliku na każdy obszar"},
        {{"backup", "--port", "/dev/null"}, "potrzebuje 1 pliku, podano 0"},
        {{"diff", "a"}, "potrzebuje 2 plików, podano 1"},
        {{"show", "a", "--port", "x"}, "nie używa --port"},
        {{"verify", "scenes", "--port", "x", "a", "--no-verify"}, "--no-verify dotyczy tylko"},
        {{"version", "--port", "x", "--retries", "many"}, "--retries: oczekiwano liczby od 0 do 100"},
        {{"version", "--port"}, "opcja --port potrzebuje wartości"},
        {{"version", "--port", "x", "--verbose"}, "nieznana opcja --verbose"},
        {{"show", "--json=yes", "a"}, "nie przyjmuje wartości"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runKd215ctl(c.first, out, err, false), 2) << c.second;
        EXPECT_NE(err.str().find(c.second), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("Pomoc: kd215ctl --help"), std::string::npos);
        EXPECT_TRUE(out.str().empty());
    }
}

TEST(CtlUsage, HelpDocumentsEveryCommandAndExitCode) {
    std::ostringstream out, err;
    EXPECT_EQ(runKd215ctl({"--help"}, out, err, false), 0);
    for (const char* part : {"ports", "probe", "version", "restart", "read", "write", "verify", "backup", "restore",
                             "show", "diff", "--no-verify", "--retries", "--log", "--json", "\n  0  gotowe",
                             "\n  1  znaleziono różnice", "\n  2  błąd użycia", "\n  3  brak portu lub sterownika",
                             "\n  4  błąd komunikacji", "\n  5  błąd pliku"}) {
        EXPECT_NE(out.str().find(part), std::string::npos) << part;
    }
}

// A tty in exclusive mode refuses every open but those with CAP_SYS_ADMIN: taking it out of
// the bounding set lets a test run as root see what an ordinary user sees.
void dropAdminCapability() { ::prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN, 0, 0, 0); }

// The built program itself: its exit code, and the progress line that only a terminal gets.
class CtlProgram : public CtlOnSim {
protected:
    // Runs kd215ctl with stdout to a pipe and stderr to a pipe or to a new pseudo-terminal.
    CtlRun spawn(const std::vector<std::string>& args, bool stderrOnTerminal, bool asUser = false) {
        int out[2], err[2] = {-1, -1};
        EXPECT_EQ(::pipe(out), 0);
        int master = -1;
        std::string slaveName;
        if (stderrOnTerminal) {
            master = openPseudoTerminal(slaveName);
            EXPECT_GE(master, 0);
        } else {
            EXPECT_EQ(::pipe(err), 0);
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            if (stderrOnTerminal) {
                const int slave = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
                ::dup2(slave, STDERR_FILENO);
            } else {
                ::dup2(err[1], STDERR_FILENO);
            }
            if (asUser) dropAdminCapability();
            std::vector<std::string> all = {KD215CTL_PATH};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        if (!stderrOnTerminal) ::close(err[1]);
        const int errFd = stderrOnTerminal ? master : err[0];
        std::string outText, errText;
        std::thread drainErr([&] {
            char buffer[512];
            ssize_t n;
            while ((n = ::read(errFd, buffer, sizeof buffer)) > 0) errText.append(buffer, static_cast<std::size_t>(n));
        });
        char buffer[512];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) outText.append(buffer, static_cast<std::size_t>(n));
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(out[0]);
        if (stderrOnTerminal) {
            // Once the child is gone the terminal reports the end (EIO) after its last bytes.
            drainErr.join();
            ::close(master);
        } else {
            drainErr.join();
            ::close(err[0]);
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, outText, errText};
    }
};

TEST_F(CtlProgram, ShowsProgressOnlyOnATerminal) {
    startSim();
    const std::vector<std::string> args = {"read", "all", "--port", sim.link(), "-o", dir_};
    const CtlRun terminal = spawn(args, true);
    EXPECT_EQ(terminal.code, 0) << terminal.err;
    EXPECT_NE(terminal.err.find("\rOdczyt z Kd215: Sceny (2/4)"), std::string::npos) << terminal.err;
    EXPECT_NE(terminal.err.find("\rOdczyt z Kd215: Pgm2 (4/4)"), std::string::npos);

    const CtlRun piped = spawn(args, false);
    EXPECT_EQ(piped.code, 0);
    EXPECT_TRUE(piped.err.empty()) << piped.err;
    EXPECT_EQ(piped.out, terminal.out);
}

TEST_F(CtlProgram, ExitCodesReachTheShell) {
    EXPECT_EQ(spawn({"--help"}, false).code, 0);
    EXPECT_EQ(spawn({"read"}, false).code, 2);
    EXPECT_EQ(spawn({"version", "--port", path("none")}, false).code, 3);
    EXPECT_EQ(spawn({"show", path("none.sce")}, false).code, 5);
    startSim();
    const CtlRun run = spawn({"verify", "scenes", "--port", sim.link(), file("z.sce", std::string(80, '\0'))}, false);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("Błąd weryfikacji : scena 1 kanał 2 ( 0 <> 1 )"), std::string::npos) << run.out;
}

TEST_F(CtlProgram, PortIsLeftOpenToTheNextUserOnEveryWayOut) {
    startSim();
    const std::vector<std::string> version = {"version", "--port", sim.link()};
    EXPECT_EQ(spawn(version, false, true).code, 0);
    sim.control("fault nak 3");
    EXPECT_EQ(spawn({"version", "--port", sim.link(), "--retries", "0"}, false, true).code, 4);

    // Interrupted in the middle of an exchange that the controller never answers.
    sim.control("fault silent 3");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execl(KD215CTL_PATH, KD215CTL_PATH, "version", "--port", sim.link().c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 100 && sim.frames("RX").size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    sim.control("clear");

    const CtlRun after = spawn(version, false, true);
    EXPECT_EQ(after.code, 0) << after.err;
    EXPECT_EQ(after.out, "FW : 1.05\n");
}

}  // namespace
}  // namespace kd215
