// kd215ctl on several simulated controllers at once: each port's faults stay on its own line, one
// table, one exit code and one JSON array answer for all, and {port} keeps their files apart.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "commands/ctl_commands.h"
#include "commands/many_ports.h"
#include "config/area_files.h"
#include "files/backup_file.h"
#include "files/config_files.h"
#include "link/frames.h"
#include "sim_process_posix.h"

namespace kd215 {
namespace {

struct CtlRun {
    int code;
    std::string out, err;
};

CtlRun ctl(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = runKd215ctl(args, out, err, false);
    return {code, out.str(), err.str()};
}

std::vector<uint8_t> memoryOf(const ConfigImage& image) {
    std::vector<uint8_t> memory(512, 0xA5);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(image, block.area, memory.data() + block.address);
    return memory;
}

ConfigImage imageNumbered(int n) {
    ConfigImage image = defaultConfigImage();
    image.common = {static_cast<uint8_t>(n), 0, static_cast<uint8_t>(20 + n), 35};
    for (int s = 0; s < kSceneCount; ++s) image.scenes[s].levels.fill(static_cast<uint8_t>(s * 20 + n));
    image.programs[1].endStep = static_cast<uint8_t>(n + 3);
    return image;
}

// The table row of `name`: "name  0,4 s   gotowe".
std::string tableRow(const std::string& out, const std::string& name) {
    const std::size_t at = out.find("\n" + name + " ");
    return at == std::string::npos ? "" : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
}

class ManyControllers : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kd215ctl-many-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    SimProcess& startSim(const ConfigImage& image, const std::vector<std::string>& extra = {}) {
        sims_.push_back(std::make_unique<SimProcess>());
        sims_.back()->presetMemory(memoryOf(image));
        EXPECT_TRUE(sims_.back()->start(extra));
        return *sims_.back();
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // The file-safe name kd215ctl gives the simulator's line in {port}: all are "DIR/line".
    std::string nameOf(const SimProcess& sim) const {
        std::vector<std::string> links;
        std::size_t index = 0;
        for (const auto& each : sims_) {
            if (each.get() == &sim) index = links.size();
            links.push_back(each->link());
        }
        return portFileNames(links)[index];
    }

    std::vector<std::unique_ptr<SimProcess>> sims_;
    std::string dir_;
};

TEST_F(ManyControllers, BackupOfFourKeepsEachFaultOnItsOwnLine) {
    SimProcess& first = startSim(imageNumbered(1));
    SimProcess& second = startSim(imageNumbered(2));
    SimProcess& silent = startSim(imageNumbered(3), {"--fault", "silent:100"});
    // Slow answers, so that the NAKs begin after the first exchanges and before the last.
    SimProcess& naking = startSim(imageNumbered(4), {"--turnaround-ms", "150"});
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
        for (const AreaBlock& block : kAreaBlocks) {
            EXPECT_EQ(encodeAreaFile(file.image, block.area), encodeAreaFile(imageNumbered(n), block.area)) << n;
        }
        EXPECT_NE(run.out.find(nameOf(*sim) + ": " + path(nameOf(*sim) + ".json") + "\n"), std::string::npos) << run.out;
        EXPECT_NE(tableRow(run.out, nameOf(*sim)).find("gotowe"), std::string::npos) << run.out;
    }
    std::string kept;
    std::getline(std::ifstream(path(nameOf(silent) + ".json")), kept);
    EXPECT_EQ(kept, old);
    EXPECT_NE(::access(path(nameOf(naking) + ".json").c_str(), F_OK), 0);
    EXPECT_GE(naking.frames("RX").size(), 3u);  // it had answered before it refused
    EXPECT_NE(tableRow(run.out, nameOf(silent)).find("brak sterownika – "), std::string::npos) << run.out;
    EXPECT_NE(tableRow(run.out, nameOf(naking)).find("błąd komunikacji – "), std::string::npos) << run.out;
    // Each message in the one form, the port's name first.
    EXPECT_NE(run.err.find("kd215ctl: " + nameOf(naking) + ": " + naking.link() + ": Błąd komunikacji : NAK (sterownik odmówił)\n"),
              std::string::npos)
        << run.err;
}

TEST_F(ManyControllers, RestoreSendsOneConfigurationToEachAndVerifiesIt) {
    std::vector<SimProcess*> sims;
    std::string list = "# hala A\n";
    for (int n = 1; n <= 3; ++n) {
        sims.push_back(&startSim(defaultConfigImage()));
        list += sims.back()->link() + (n == 2 ? "   # przy scenie\n" : "\n");
    }
    std::ofstream(path("hala.txt")) << list << "\n";
    std::ofstream(path("site.json")) << writeBackupJson(imageNumbered(7), {});
    const CtlRun run = ctl({"restore", "--ports-from", path("hala.txt"), path("site.json"), "--json"});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    const Json result = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(result.is_array()) << run.out;
    ASSERT_EQ(result.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sims[i]->memory(), memoryOf(imageNumbered(7))) << i;
        EXPECT_EQ(result[i]["port"], sims[i]->link());
        EXPECT_EQ(result[i]["exit"], 0);
        EXPECT_EQ(result[i]["verified"], true);
        EXPECT_EQ(result[i]["differences"].size(), 0u);
        EXPECT_FALSE(result[i].contains("error"));
    }
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
    EXPECT_NE(run.err.find("port podany więcej niż raz"), std::string::npos) << run.err;
    EXPECT_EQ(ctl({"version", "--ports-from", path("brak.txt")}).code, 5);
    EXPECT_EQ(ctl({"show", "--ports-from", path("brak.txt"), path("x.ust")}).code, 2);

    EXPECT_EQ(portFileNames({"/x/a/line", "/x/b/line", "\\\\.\\COM10", "/tmp/hala: 1"}),
              (std::vector<std::string>{"a_line", "b_line", "COM10", "hala__1"}));
}

// The progress block is redrawn by moving the cursor up one line per port: a line that wraps
// throws that count off, and a letter cut in half prints as garbage.
TEST(ProgressBlock, EveryLineFitsWithinTheTerminalAndCutsBetweenLetters) {
    EXPECT_EQ(progressBlock({{"ttyUSB0", "Łącze zajęte", 1.3}, {"b", "ok", 12.0}}, 21),
              "ttyUSB0  1,3 s    Łą\n"
              "b        12,0 s   ok\n");
}

}  // namespace
}  // namespace kd215
