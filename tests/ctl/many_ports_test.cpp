// kd215ctl on several simulated controllers at once: each port's faults stay on its own line, one
// table, one exit code and one JSON array answer for all, and {port} keeps their files apart.

#include <sys/file.h>
#include <fcntl.h>

#include <filesystem>
#include <set>
#include <thread>

#include "commands/ctl_args.h"
#include "commands/many_ports.h"
#include "commands/port_sink.h"
#include "records/input_files.h"
#include "records/backup_file.h"
#include "support/ctl_harness.h"

namespace kd215 {
namespace {

ByteBuffer bytesOf(const std::string& text) { return ByteBuffer(text.begin(), text.end()); }

// A backup of `image` written whole under `path`, as a user replacing the file would.
void writeBackup(const std::string& path, const ConfigImage& image) {
    std::ofstream(path + ".tmp") << writeBackupJson(image, {});
    std::rename((path + ".tmp").c_str(), path.c_str());
}

ConfigImage imageNumbered(int n) {
    ConfigImage image = defaultConfigImage();
    image.common = {static_cast<uint8_t>(n), 0, static_cast<uint8_t>(20 + n), 35};
    for (int s = 0; s < kSceneCount; ++s) image.scenes[s].levels.fill(static_cast<uint8_t>(s * 20 + n));
    image.programs[1].endStep = static_cast<uint8_t>(n + 3);
    return image;
}

// The result in the table row of `name`, "gotowe" in "name  0,4 s   gotowe": what follows the last
// run of spaces between the columns, which no result holds.
std::string tableResult(const std::string& out, const std::string& name) {
    const std::size_t at = out.find("\n" + name + " ");
    if (at == std::string::npos) return "";
    const std::string row = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    return row.substr(row.rfind("  ") + 2);
}

class ManyControllers : public CtlFolderTest {
protected:
    // The file-safe name kd215ctl gives the simulator's line in {port}: "line-" and its own letters.
    std::string nameOf(const SimProcess& sim) const { return portFileName(sim.link()); }
};

TEST_F(ManyControllers, BackupOfFourKeepsEachFaultOnItsOwnLine) {
    SimProcess& first = startSimWith(memoryOf(imageNumbered(1)));
    SimProcess& second = startSimWith(memoryOf(imageNumbered(2)));
    SimProcess& silent = startSimWith(memoryOf(imageNumbered(3)), {"--fault", "silent:100"});
    // Slow answers, so that the NAKs begin after the first exchanges and before the last.
    SimProcess& naking = startSimWith(memoryOf(imageNumbered(4)), {"--turnaround-ms", "150"});
    const std::string old = "{\"kept\": true}";
    std::ofstream(path(nameOf(silent) + ".json")) << old;
    std::thread midChain([&] {
        naking.frames("RX", 2);
        naking.control("fault nak 100");
    });
    const CtlRun run = ctl({"backup", "--port", first.link(), "--port", second.link(), "--port", silent.link(), "--port",
                         naking.link(), path("{port}.json")});
    midChain.join();

    EXPECT_EQ(run.code, 4) << run.out << run.err;  // the largest: NAK's 4 over silence's 3
    for (const auto& [sim, n] : {std::pair{&first, 1}, std::pair{&second, 2}}) {
        ConfigFile file;
        ASSERT_TRUE(loadConfigFile(path(nameOf(*sim) + ".json"), file).ok) << run.err;
        EXPECT_EQ(memoryOf(file.image), sim->memory()) << n;
        EXPECT_NE(run.out.find(nameOf(*sim) + ": " + path(nameOf(*sim) + ".json") + "\n"), std::string::npos) << run.out;
        EXPECT_EQ(tableResult(run.out, nameOf(*sim)), "gotowe") << run.out;
    }
    EXPECT_EQ(readFile(path(nameOf(silent) + ".json")), old);
    EXPECT_NE(::access(path(nameOf(naking) + ".json").c_str(), F_OK), 0);
    EXPECT_GE(naking.frames("RX").size(), 3u);  // it had answered before it refused
    // Each port's last message, cut where the row would wrap; the program's words not said twice.
    EXPECT_EQ(tableResult(run.out, nameOf(silent)), "brak sterownika – nie odpowiedział żaden sterownik Kd215…");
    EXPECT_EQ(tableResult(run.out, nameOf(naking)), "błąd komunikacji: NAK (sterownik odmówił)");
    // Each message in the one form, the port named once, by its short name.
    const std::size_t nak = run.err.find("kd215ctl: " + nameOf(naking) + ": Błąd komunikacji : NAK (sterownik odmówił)");
    ASSERT_NE(nak, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(naking.link()), std::string::npos) << run.err;
}

TEST_F(ManyControllers, OutputsWithoutPortAndDoubledPortsAreRefusedBeforeAnyPortOpens) {
    // No line behind these names: a run that got as far as opening one would end in 3.
    const std::vector<std::string> two = {"--port", path("a/line"), "--port", path("b/line")};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, two.begin(), two.end());
        return ctl(args);
    };
    CtlRun run = with({"backup", path("kopia.json")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("kd215ctl: " + path("kopia.json") + ": wiele portów, a jeden plik"), std::string::npos) << run.err;
    EXPECT_EQ(with({"version", "--log", path("ramki.log")}).code, 2);
    run = ctl({"version", "--port", path("a"), "--port", path("a")});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("ten sam port podany dwa razy"), std::string::npos) << run.err;
    EXPECT_EQ(ctl({"version", "--ports-from", path("brak.txt")}).code, 5);
    EXPECT_EQ(ctl({"show", "--ports-from", path("brak.txt"), path("x.ust")}).code, 2);

    EXPECT_EQ(portFileName("/dev/serial/by-id/usb-FTDI_A50-if00"), "usb-FTDI_A50-if00");
    EXPECT_EQ(portFileName("/tmp/hala: 1"), "hala__1");
}

// A shell loop over single ports and one run over all of them name their files alike; each
// controller then goes back from its own backup, read per port through {port}.
TEST_F(ManyControllers, PortInNamesIsTheSameForOnePortAsForSeveralInputsAsOutputs) {
    SimProcess& first = startSimWith(memoryOf(imageNumbered(1)));
    SimProcess& second = startSimWith(memoryOf(imageNumbered(2)));
    for (const char* folder : {"loop", "many"}) std::filesystem::create_directory(path(folder));
    for (SimProcess* sim : {&first, &second}) {
        EXPECT_EQ(ctl({"backup", "--port", sim->link(), path("loop/{port}.json"), "--log", path("loop/{port}.log")}).code, 0);
    }
    const CtlRun many = ctl({"backup", "--port", first.link(), "--port", second.link(), path("many/{port}.json"), "--log",
                             path("many/{port}.log")});
    ASSERT_EQ(many.code, 0) << many.err;
    for (const char* folder : {"loop", "many"}) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path(folder))) names.insert(entry.path().filename());
        EXPECT_EQ(names, (std::set<std::string>{nameOf(first) + ".json", nameOf(first) + ".log", nameOf(second) + ".json",
                                                 nameOf(second) + ".log"}))
            << folder;
    }
    std::ofstream(path("hala.txt")) << first.link() << "\n" << second.link() << "\n";
    for (SimProcess* sim : {&first, &second}) {
        sim->presetMemory(memoryOf(defaultConfigImage()));
        sim->control("reload");
    }
    const CtlRun restored = ctl({"restore", "--ports-from", path("hala.txt"), path("many/{port}.json")});
    ASSERT_EQ(restored.code, 0) << restored.out << restored.err;
    EXPECT_EQ(first.memory(), memoryOf(imageNumbered(1)));
    EXPECT_EQ(second.memory(), memoryOf(imageNumbered(2)));
    EXPECT_EQ(ctl({"verify", "all", "--port", first.link(), path("loop/{port}.json")}).code, 0);

    // One port's backup missing: that port alone fails, on its own line.
    std::filesystem::remove(path("many/" + nameOf(second) + ".json"));
    const CtlRun verified = ctl({"verify", "all", "--ports-from", path("hala.txt"), path("many/{port}.json")});
    EXPECT_EQ(verified.code, 5) << verified.out << verified.err;
    EXPECT_EQ(tableResult(verified.out, nameOf(first)), "gotowe") << verified.out;
    EXPECT_EQ(tableResult(verified.out, nameOf(second)).rfind("błąd pliku – " + path("many/"), 0), 0u) << verified.out;
    EXPECT_NE(verified.err.find("kd215ctl: " + nameOf(second) + ": " + path("many/" + nameOf(second) + ".json") +
                                ": nie ma takiego pliku\n"),
              std::string::npos)
        << verified.err;
}

// The backup is read once, before any line starts: one replaced afterwards reaches no controller.
TEST_F(ManyControllers, EveryPortGetsTheBytesReadBeforeAnyLineStarted) {
    std::vector<std::string> args = {"restore"};
    for (int n = 0; n < 3; ++n) {
        args.insert(args.end(), {"--port", startSimWith(memoryOf(defaultConfigImage())).link()});
    }
    writeBackup(path("site.json"), imageNumbered(5));
    args.push_back(path("site.json"));
    CtlOptions options;
    ASSERT_TRUE(parseCommandLine(args, options).ok);
    std::ostringstream out, err;
    PortPlan plan = planPortRuns(options, {}, err);
    ASSERT_EQ(plan.code, 0) << err.str();
    writeBackup(path("site.json"), imageNumbered(6));
    ASSERT_EQ(runPlan(plan, options, args, out, err, false), 0) << out.str() << err.str();
    for (const auto& sim : sims_) EXPECT_EQ(sim->memory(), memoryOf(imageNumbered(5)));
}

// --all names every port it passed over and why, in the table, in JSON and in the exit code.
TEST_F(ManyControllers, AllAccountsForASilentAndABusyPort) {
    SimProcess& first = startSimWith(memoryOf(imageNumbered(1)));
    SimProcess& second = startSimWith(memoryOf(imageNumbered(2)));
    SimProcess& silent = startSimWith(memoryOf(imageNumbered(3)), {"--fault", "silent:1000"});
    SimProcess& busy = startSimWith(memoryOf(imageNumbered(4)));
    const int held = ::open(busy.link().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto onAll = [&](const std::vector<SimProcess*>& system, const std::vector<std::string>& args) {
        std::vector<PortInfo> ports;
        for (const SimProcess* sim : system) ports.push_back({sim->link(), sim->link(), "", false});
        CtlOptions options;
        EXPECT_TRUE(parseCommandLine(args, options).ok);
        std::ostringstream out, err;
        PortPlan plan = planPortRuns(options, ports, err);
        const int code = plan.code == 0 ? runPlan(plan, options, args, out, err, false) : plan.code;
        return CtlRun{code, out.str(), err.str()};
    };
    const std::vector<SimProcess*> site = {&first, &second, &silent, &busy};
    const CtlRun run = onAll(site, {"backup", "--all", path("{port}.json")});
    EXPECT_EQ(run.code, 3) << run.out << run.err;
    for (SimProcess* sim : {&first, &second}) {
        EXPECT_EQ(tableResult(run.out, nameOf(*sim)), "gotowe") << run.out;
        EXPECT_EQ(::access(path(nameOf(*sim) + ".json").c_str(), F_OK), 0);
    }
    EXPECT_EQ(tableResult(run.out, nameOf(silent)), "brak sterownika – nie odpowiedział żaden sterownik") << run.out;
    EXPECT_EQ(tableResult(run.out, nameOf(busy)), "port niedostępny – port zajęty, używa go kd215_tests (PI…") << run.out;
    EXPECT_NE(run.err.find("kd215ctl: " + nameOf(busy) + ": port zajęty"), std::string::npos) << run.err;

    const CtlRun answering = onAll(site, {"backup", "--all", "--answering", path("{port}.json"), "--json"});
    EXPECT_EQ(answering.code, 0) << answering.err;
    const Json result = Json::parse(answering.out, nullptr, false);
    ASSERT_TRUE(result.is_array() && result.size() == 4) << answering.out;
    EXPECT_EQ(result[2]["port"], silent.link());
    EXPECT_EQ(result[2]["reason"], "silent");
    EXPECT_EQ(result[2]["exit"], 3);
    EXPECT_EQ(result[3]["reason"], "busy");

    // Nothing answers: one line names the ports tried, and the JSON still lists them.
    const CtlRun none = onAll({&silent, &busy}, {"probe", "--all", "--json"});
    ::close(held);
    EXPECT_EQ(none.code, 3);
    EXPECT_NE(none.err.find("Sprawdzone porty: " + nameOf(silent) + ", " + nameOf(busy) + ".\n"), std::string::npos)
        << none.err;
    const Json tried = Json::parse(none.out, nullptr, false);
    ASSERT_TRUE(tried.is_array() && tried.size() == 2) << none.out;
    EXPECT_EQ(tried[0]["reason"], "silent");
}

// The same-file checks see the names {port} makes, for every port, the port list and the log.
TEST_F(ManyControllers, NoOutputMayBeAnInputOrTheLogAfterPortExpansion) {
    SimProcess& sim = startSimWith(memoryOf(defaultConfigImage()));
    SimProcess& other = startSimWith(memoryOf(defaultConfigImage()));
    ASSERT_EQ(::symlink(sim.link().c_str(), path("hala").c_str()), 0);  // its {port} is "hala"
    const std::string list = path("hala") + "\n" + other.link() + "\n";
    std::ofstream(path("hala.txt")) << list;
    const auto nothingSent = [&] { return sim.frames("RX").empty() && other.frames("RX").empty(); };
    EXPECT_EQ(ctl({"backup", "--ports-from", path("hala.txt"), path("{port}.txt")}).code, 2);
    EXPECT_EQ(readFile(path("hala.txt")), list);
    writeBackup(path(nameOf(other) + ".json"), imageNumbered(3));
    const CtlRun logOverInput = ctl({"restore", "--port", path("hala"), "--port", other.link(),
                                     path(nameOf(other) + ".json"), "--log", path("{port}.json")});
    EXPECT_EQ(logOverInput.code, 2) << logOverInput.err;
    EXPECT_TRUE(nothingSent());
    EXPECT_EQ(ctl({"backup", "--port", sim.link(), path("a.json"), "--log", dir_ + "/./a.json"}).code, 2);
    std::filesystem::create_directory(path(nameOf(other) + ".bak"));
    EXPECT_EQ(ctl({"backup", "--port", sim.link(), "--port", other.link(), path("{port}.bak")}).code, 5);
    const CtlRun twoNames = ctl({"version", "--port", path("hala"), "--port", sim.link()});
    EXPECT_EQ(twoNames.code, 2);
    EXPECT_NE(twoNames.err.find("ten sam port podany dwa razy"), std::string::npos) << twoNames.err;
    EXPECT_TRUE(nothingSent());

    const CtlRun full = ctl({"version", "--port", sim.link(), "--log", "/dev/full"});
    EXPECT_EQ(full.code, 5);
    EXPECT_NE(full.err.find("kd215ctl: /dev/full: nie da się zapisać dziennika ramek"), std::string::npos) << full.err;
    std::ofstream(path("pusta.txt")) << "# nic\n";
    EXPECT_EQ(ctl({"version", "--ports-from", path("pusta.txt")}).code, 3);
    const CtlRun zero = ctl({"version", "--ports-from", "/dev/zero"});
    EXPECT_EQ(zero.code, 5);
    EXPECT_EQ(zero.out, "");
}

TEST(PortList, AByteOrderMarkAndCrlfAreTakenANulOrBinaryIsRefused) {
    std::vector<std::string> ports;
    EXPECT_EQ(parsePortList(bytesOf("\xEF\xBB\xBF/dev/ttyUSB0\r\n# hala A\r\n  COM3  # przy scenie\r\n"), ports), "");
    EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyUSB0", "COM3"}));
    EXPECT_EQ(parsePortList(bytesOf(std::string("/dev/ttyUSB0\n/dev/tty\0USB1\n", 27)), ports),
              "bajt zerowy w wierszu 2; to nie lista portów");
    EXPECT_NE(parsePortList(bytesOf("\x7F" "ELF\x02\x01\x01"), ports), "");
    EXPECT_NE(parsePortList(ByteBuffer(70000, 'a'), ports), "");
}

// The progress block is redrawn by moving the cursor up one line per port: a line that wraps
// throws that count off, and a letter cut in half prints as garbage.
TEST(ProgressBlock, EveryLineFitsWithinTheTerminalAndCutsBetweenLetters) {
    EXPECT_EQ(progressBlock({{"ttyUSB0", "Łącze zajęte", 1.3}, {"b", "ok", 12.0}}, 21),
              "ttyUSB0  1,3 s    Łą\n"
              "b        12,0 s   ok\n");
}

// A port's line names the port once, by its short name; the closing table's reason is the last
// thing the port said (the communication fault alone, where the table's word says the rest), never
// a frame of -v nor the interruption the table states itself.
TEST(PortSink, TagsEachLineAndKeepsTheLastFailureAsTheReason) {
    std::ostringstream out, err;
    Board board;
    board.ports.resize(1);
    PortSink sink(out, err, "ttyUSB0", {"/dev/ttyUSB0"}, false, true, &board, 0);
    sink.progress("Odczyt: ustawienia");
    EXPECT_EQ(board.ports[0].doing, "Odczyt: ustawienia");
    sink.message("kopia.json", "plik :\nBłąd zapisu !");
    sink.failed("/dev/ttyUSB0", "Błąd komunikacji : NAK (sterownik odmówił)", "NAK (sterownik odmówił)");
    sink.frameLine("2026-12-09 10:00:00.000 -- kod wyjścia 4");
    sink.interrupted("/dev/ttyUSB0");
    sink.resultLine("1.05");
    EXPECT_EQ(sink.reason().text, "Błąd komunikacji : NAK (sterownik odmówił)");
    EXPECT_EQ(sink.reason().fault, "NAK (sterownik odmówił)");
    EXPECT_EQ(board.ports[0].doing, "przerwano");
    std::string lines;
    for (const auto& [stream, line] : sink.lines()) lines += (stream == &out ? "out " : "err ") + line + "\n";
    EXPECT_EQ(lines,
              "err kd215ctl: ttyUSB0: kopia.json: plik: Błąd zapisu !\n"
              "err kd215ctl: ttyUSB0: Błąd komunikacji : NAK (sterownik odmówił)\n"
              "err kd215ctl: ttyUSB0: 2026-12-09 10:00:00.000 -- kod wyjścia 4\n"
              "out ttyUSB0: 1.05\n");
    EXPECT_EQ(out.str() + err.str(), "");  // nothing written until the port's run has ended
}

}  // namespace
}  // namespace kd215
