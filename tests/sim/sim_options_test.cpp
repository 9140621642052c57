// kd215-sim's command line, control-file lines and memory file: accepted values and clear refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "memory_file.h"
#include "sim_options.h"

namespace kd215 {
namespace {

bool parse(std::vector<const char*> args, SimOptions& options, std::string& error) {
    args.insert(args.begin(), "kd215-sim");
    return parseSimOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptionsTest, FirmwareVersionsIncludingOddOnes) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--firmware", "2.100", "--link", "/tmp/x"}, options, error)) << error;
    EXPECT_EQ(options.firmwareMajor, 2);
    EXPECT_EQ(options.firmwareMinor, 100);
    EXPECT_EQ(options.linkPath, "/tmp/x");

    ASSERT_TRUE(parse({"--firmware=1.05"}, options, error)) << error;
    EXPECT_EQ(options.firmwareMajor, 1);
    EXPECT_EQ(options.firmwareMinor, 5);

    ASSERT_TRUE(parse({"--firmware-raw", "10:255"}, options, error)) << error;
    EXPECT_EQ(options.firmwareMajor, 10);
    EXPECT_EQ(options.firmwareMinor, 255);

    for (const char* bad : {"1.5", "1", "256.00", "1.256", "a.bc", "1.0500", "-1.05"}) {
        SimOptions rejected;
        EXPECT_FALSE(parse({"--firmware", bad}, rejected, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    EXPECT_FALSE(parse({"--firmware-raw", "1.05"}, options, error));
}

TEST(SimOptionsTest, FaultsKeepTheirOrderAndCounts) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--fault", "nak:3", "--fault=no-probe", "--fault", "bad-address"}, options,
                      error)) << error;
    ASSERT_EQ(options.faults.size(), 3u);
    EXPECT_EQ(options.faults[0].kind, SimFaultKind::Nak);
    EXPECT_EQ(options.faults[0].remaining, 3u);
    EXPECT_EQ(options.faults[1].kind, SimFaultKind::NoProbe);
    EXPECT_EQ(options.faults[1].remaining, 1u);
    EXPECT_EQ(options.faults[2].kind, SimFaultKind::BadAddress);

    for (const char* bad : {"explode", "nak:0", "nak:x", "nak:"}) {
        SimOptions rejected;
        EXPECT_FALSE(parse({"--fault", bad}, rejected, error)) << bad;
    }
}

TEST(SimOptionsTest, RefusesContradictionsAndUnknownsWithAMessage) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(parse({"--link", "a", "--device", "b"}, options, error));
    EXPECT_NE(error.find("--device"), std::string::npos);
    EXPECT_FALSE(parse({"--speed", "9600"}, options, error));
    EXPECT_NE(error.find("--speed"), std::string::npos);
    EXPECT_FALSE(parse({"--memory"}, options, error));
    EXPECT_NE(error.find("--memory"), std::string::npos);
    EXPECT_FALSE(parse({"--turnaround-ms", "fast"}, options, error));
    EXPECT_FALSE(parse({"--gap-ms", "0"}, options, error));
}

TEST(SimControlLines, CommandsAndTheirRefusals) {
    ControlCommand command;
    std::string error;
    ASSERT_TRUE(parseControlLine("fault wrong-length 4", command, error)) << error;
    EXPECT_EQ(command.kind, ControlCommandKind::Fault);
    EXPECT_EQ(command.fault.kind, SimFaultKind::WrongLength);
    EXPECT_EQ(command.fault.remaining, 4u);
    ASSERT_TRUE(parseControlLine("  fault garbage", command, error));
    EXPECT_EQ(command.fault.remaining, 1u);
    ASSERT_TRUE(parseControlLine("unplug", command, error));
    EXPECT_EQ(command.kind, ControlCommandKind::Unplug);
    ASSERT_TRUE(parseControlLine("# a note", command, error));
    EXPECT_EQ(command.kind, ControlCommandKind::None);
    ASSERT_TRUE(parseControlLine("", command, error));
    EXPECT_EQ(command.kind, ControlCommandKind::None);

    EXPECT_FALSE(parseControlLine("fault", command, error));
    EXPECT_FALSE(parseControlLine("fault nak 0", command, error));
    EXPECT_FALSE(parseControlLine("plug now", command, error));
    EXPECT_FALSE(parseControlLine("explode", command, error));
    EXPECT_NE(error.find("explode"), std::string::npos);
}

class SimMemoryFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kd215-simmem-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/memory.bin";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::vector<char> fileBytes() {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }

    std::string folder;
    std::string path;
};

TEST_F(SimMemoryFile, MissingFileIsCreatedFromTheDefault) {
    SimMemory memory{};
    std::string error;
    EXPECT_EQ(loadOrCreateMemoryFile(path, memory, error), MemoryFileLoad::Created) << error;
    EXPECT_EQ(fileBytes(), std::vector<char>(kSimMemorySize, 0));
}

TEST_F(SimMemoryFile, WrongSizeIsRefusedAndChangesNothing) {
    std::ofstream(path, std::ios::binary) << std::string(100, 'x');
    SimMemory memory{};
    memory[7] = 7;
    std::string error;
    EXPECT_EQ(loadOrCreateMemoryFile(path, memory, error), MemoryFileLoad::Failed);
    EXPECT_NE(error.find("100"), std::string::npos) << error;
    EXPECT_NE(error.find("512"), std::string::npos) << error;
    EXPECT_EQ(memory[7], 7);
    EXPECT_EQ(fileBytes().size(), 100u);
}

TEST_F(SimMemoryFile, SavedMemoryLoadsBackAndNoTemporaryIsLeft) {
    SimMemory memory{};
    for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::string error;
    ASSERT_TRUE(saveMemoryFile(path, memory, error)) << error;
    SimMemory loaded{};
    EXPECT_EQ(loadOrCreateMemoryFile(path, loaded, error), MemoryFileLoad::Loaded) << error;
    EXPECT_EQ(loaded, memory);
    std::string listing;
    FILE* ls = ::popen(("ls -A '" + folder + "'").c_str(), "r");
    char name[256];
    while (std::fgets(name, sizeof name, ls)) listing += name;
    ::pclose(ls);
    EXPECT_EQ(listing, "memory.bin\n");
}

TEST_F(SimMemoryFile, SaveIntoAMissingFolderReportsIt) {
    std::string error;
    EXPECT_FALSE(saveMemoryFile(folder + "/no/such/memory.bin", SimMemory{}, error));
    EXPECT_NE(error.find("no/such"), std::string::npos) << error;
}

}  // namespace
}  // namespace kd215
