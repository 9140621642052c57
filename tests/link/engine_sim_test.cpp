// The transfer engine against kd215-sim over a real pseudo-terminal, at line timing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "link/frames.h"
#include "link/serial_posix.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/sim_process.h"

namespace kd215 {
namespace {

using testing::RecordingUi;
using testing::SimProcess;

std::vector<uint8_t> patternMemory() {
    std::vector<uint8_t> memory(512);
    for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i * 7 + 3);
    return memory;
}

std::string hex(const uint8_t* bytes, std::size_t n) {
    std::string text;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        text += (i ? " " : "") + std::string(buf);
    }
    return text;
}

std::string readRequestHex(ConfigArea area) {
    FrameBuffer tx{};
    const std::size_t n = buildBlockRequest(tx, area, TransferAction::ReadController,
                                            areaBlock(area).address, defaultConfigImage());
    return hex(tx.data(), n);
}

bool sameImage(const ConfigImage& a, const ConfigImage& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class EngineOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        s.port = &port;
        s.ui = &ui;
    }

    void startSim(const std::vector<std::string>& extra = {},
                  const std::vector<uint8_t>& memory = patternMemory()) {
        sim.presetMemory(memory);
        ASSERT_TRUE(sim.start(extra));
        ASSERT_EQ(port.open(sim.link()), OpenResult::Opened);
    }

    // Steps the engine as the message loop does until it is idle; false when it never got there.
    bool runToIdle(double seconds = 5.0) {
        const auto limit = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (transferActive(s)) {
            if (std::chrono::steady_clock::now() > limit) return false;
            StepTransfer(s);
            if (transferActive(s)) port.waitForIo(20);
        }
        return true;
    }

    // Steps until the engine is about to send the request of `area`.
    bool runUntilRequestOf(ConfigArea area) {
        for (int i = 0; i < 2000; ++i) {
            if (s.currentArea == area && s.transferState == TransferState::SendRequest) return true;
            if (!transferActive(s)) return false;
            StepTransfer(s);
            port.waitForIo(5);
        }
        return false;
    }

    void start(TransferAction action, ConfigArea area) {
        s.currentAction = action;
        BeginAreaTransfer(s, area);
    }

    SimProcess sim;
    PosixSerialPort port;
    RecordingUi ui;
    ProgramState s;
};

TEST_F(EngineOnSim, ReadingEachAreaStoresWhatTheControllerHolds) {
    startSim();
    const auto memory = patternMemory();
    for (const AreaBlock& block : kAreaBlocks) {
        start(TransferAction::ReadController, block.area);
        ASSERT_TRUE(runToIdle()) << block.fileExtension;
        ConfigImage expected = s.image;
        decodeAreaPayload(memory.data() + block.address, block.area, expected);
        EXPECT_TRUE(sameImage(expected, s.image)) << block.fileExtension;
    }
    EXPECT_TRUE(ui.messages.empty());
    const std::vector<std::string> expectedRequests = {
        "12 46 04 00 44 60", "12 46 50 00 50 08", "12 46 A0 00 AA 5E", "12 46 4A 01 AA B3"};
    EXPECT_EQ(sim.frames("RX"), expectedRequests);
    EXPECT_TRUE(ui.repeatEnabled);
    EXPECT_FALSE(ui.stopEnabled);
}

TEST_F(EngineOnSim, ReadAllRunsTheFourAreasInOrder) {
    startSim();
    s.currentAction = TransferAction::ReadController;
    BeginAllAreas(s);
    EXPECT_TRUE(s.chainAll);
    EXPECT_TRUE(ui.stopEnabled);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(ui.areaLabels, (std::vector<std::string>{"\tUstaw.", "\tSceny", "\tPgm1", "\tPgm2"}));
    EXPECT_FALSE(s.chainAll);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.image.programs[1].steps[13].levels[0], patternMemory()[330 + 13 * 12]);
}

TEST_F(EngineOnSim, WriteAllLeavesTheImageInTheControllersMemory) {
    startSim({}, std::vector<uint8_t>(512, 0));
    s.image.scenes[4].levels[6] = 201;
    s.image.programs[0].steps[13].duration = 999;
    s.image.programs[0].endStep = kNoEndStep;
    s.image.channels[2].inputInverted = 255;
    s.image.common.operatingMode = 6;
    s.currentAction = TransferAction::WriteController;
    BeginAllAreas(s);
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.progress, 100);
    const auto memory = sim.memory();
    ASSERT_EQ(memory.size(), 512u);
    for (const AreaBlock& block : kAreaBlocks) {
        std::vector<uint8_t> payload(block.length);
        encodeAreaPayload(s.image, block.area, payload.data());
        EXPECT_EQ(std::vector<uint8_t>(memory.begin() + block.address,
                                       memory.begin() + block.address + block.length),
                  payload)
            << block.fileExtension;
    }
}

TEST_F(EngineOnSim, VerifyAllAsksAboutEachDifferenceAndYesGoesOn) {
    ConfigImage image = defaultConfigImage();
    std::vector<uint8_t> memory(512, 0);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(image, block.area, memory.data() + block.address);
    memory[80 + 10 + 4] = 127;                 // scene 2, channel 5
    memory[330 + 168] = 4;                     // program 2 end step
    s.image = image;
    s.image.scenes[1].levels[4] = 128;
    startSim({}, memory);
    s.currentAction = TransferAction::Verify;
    BeginAllAreas(s);
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "Błąd weryfikacji : scena 2 kanał 5\n ( 128 <> 127 )\nKontynuować sprawdzanie ?");
    EXPECT_EQ(ui.messages[0].caption, "Niepowodzenie");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ui.messages[1].text,
              "Błąd weryfikacji długości programu 2\n ( 0 <> 4 )\nKontynuować sprawdzanie ?");
    EXPECT_EQ(sim.frames("RX").size(), 4u);
    EXPECT_EQ(s.image.scenes[1].levels[4], 128);  // verification never changes the image
}

TEST_F(EngineOnSim, VerifyAnsweredNoEndsTheChain) {
    startSim();  // the pattern differs from the defaults almost everywhere
    ui.answers = {UserAnswer::No};
    s.currentAction = TransferAction::Verify;
    BeginAllAreas(s);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(sim.frames("RX").size(), 1u);
    EXPECT_FALSE(s.chainAll);
    EXPECT_TRUE(sameImage(s.image, defaultConfigImage()));
}

TEST_F(EngineOnSim, VersionQueryShowsTheFirmware) {
    startSim({"--firmware", "2.07"});
    BeginVersionQuery(s);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(ui.status[kStatusFirmwarePart], "\tFW : 2.07");
    EXPECT_EQ(s.fwStatusText, "\tFW : 2.07");
    EXPECT_EQ(ui.areaLabels, std::vector<std::string>{"\tWersja"});
    EXPECT_EQ(sim.frames("RX"), std::vector<std::string>{"12 03 EB"});
    EXPECT_EQ(ui.progress, 100);
}

struct FaultCase {
    const char* fault;
    TransferAction action;
    std::string expectedStart;  // the message text begins so
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.fault; }

class EngineFaults : public EngineOnSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(EngineFaults, ReportedWithRetryAndCancelLeavesTheImage) {
    const FaultCase& c = GetParam();
    startSim({"--fault", std::string(c.fault) + ":1"});
    const ConfigImage before = s.image;
    start(c.action, ConfigArea::Scenes);
    ASSERT_TRUE(runToIdle(15));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(c.expectedStart, 0), 0u) << ui.messages[0].text;
    EXPECT_EQ(ui.messages[0].caption, "Niepowodzenie");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::RetryCancel);
    EXPECT_TRUE(sameImage(before, s.image));
    EXPECT_FALSE(s.chainAll);
}

INSTANTIATE_TEST_SUITE_P(
    EachFault, EngineFaults,
    ::testing::Values(
        FaultCase{"nak", TransferAction::ReadController, "Błąd komunikacji : NAK"},
        FaultCase{"bad-checksum", TransferAction::ReadController, "Błąd komunikacji : suma kontrolna = "},
        FaultCase{"bad-address", TransferAction::ReadController, "Błąd komunikacji : adres zwrotny "},
        FaultCase{"short-reply", TransferAction::ReadController, "Błąd komunikacji : brak danych : "},
        FaultCase{"wrong-length", TransferAction::Verify, "Błąd komunikacji : "},
        FaultCase{"garbage", TransferAction::ReadController, "Błąd komunikacji : "},
        FaultCase{"nak", TransferAction::WriteController, "Błąd komunikacji : NAK"},
        FaultCase{"silent", TransferAction::WriteController, "Błąd komunikacji : NAK"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name = info.param.fault;
        for (char& ch : name) if (ch == '-') ch = '_';
        return name + (info.param.action == TransferAction::WriteController ? "_on_write" : "_on_read");
    });

TEST_F(EngineOnSim, RetrySendsTheIdenticalRequestAndRecovers) {
    startSim({"--fault", "bad-checksum:1"});
    ui.answers = {UserAnswer::Retry};
    start(TransferAction::ReadController, ConfigArea::Scenes);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(ui.messages.size(), 1u);
    const auto requests = sim.frames("RX");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], requests[1]);
    EXPECT_EQ(requests[0], readRequestHex(ConfigArea::Scenes));
    EXPECT_EQ(s.image.scenes[0].levels[0], patternMemory()[80]);
}

TEST_F(EngineOnSim, CancelInTheMiddleOfAChainKeepsTheAreasBefore) {
    startSim();
    s.currentAction = TransferAction::ReadController;
    BeginAllAreas(s);
    ASSERT_TRUE(runUntilRequestOf(ConfigArea::Scenes));
    sim.control("fault bad-checksum 1");
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(ui.messages.size(), 1u);
    const auto memory = patternMemory();
    EXPECT_EQ(s.image.channels[0].minLevel, memory[4 + 4]);  // settings were read
    EXPECT_EQ(s.image.scenes[0].levels[0], 0);                // scenes and programs were not
    EXPECT_EQ(s.image.programs[0].steps[0].levels[0], 0);
    EXPECT_FALSE(s.chainAll);

    start(TransferAction::ReadController, ConfigArea::Scenes);  // a single area goes no further
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(sim.frames("RX").size(), 3u);
    EXPECT_EQ(s.image.programs[0].steps[0].levels[0], 0);
}

TEST_F(EngineOnSim, RestartDuringAPendingReadAbortsItAndSendsTheRestartFrame) {
    startSim({"--fault", "silent:1"});
    start(TransferAction::ReadController, ConfigArea::Program1);
    for (int i = 0; i < 100 && s.transferState != TransferState::AwaitReply; ++i) {
        StepTransfer(s);
        port.waitForIo(5);
    }
    ASSERT_EQ(s.transferState, TransferState::AwaitReply);
    const auto started = std::chrono::steady_clock::now();
    BeginRestart(s);
    ASSERT_TRUE(runToIdle(2));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sim.framesAtLeast("RX", 2).back(), "0F 03 EE");
    EXPECT_EQ(ui.areaLabels.back(), "\tN/A");
    EXPECT_TRUE(sameImage(s.image, defaultConfigImage()));
}

TEST_F(EngineOnSim, StopReturnsToIdleAtOnceAndTheLineStaysUsable) {
    startSim({"--fault", "silent:1"});
    start(TransferAction::ReadController, ConfigArea::Scenes);
    for (int i = 0; i < 100 && s.transferState != TransferState::AwaitReply; ++i) {
        StepTransfer(s);
        port.waitForIo(5);
    }
    ASSERT_EQ(s.transferState, TransferState::AwaitReply);
    StopTransfer(s);
    EXPECT_FALSE(transferActive(s));
    EXPECT_FALSE(ui.stopEnabled);
    start(TransferAction::ReadController, ConfigArea::Scenes);
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.image.scenes[7].riseTime, readLe16(patternMemory().data() + 80 + 78));
}

TEST_F(EngineOnSim, RepeatStartsTheLastAreaAgain) {
    startSim();
    start(TransferAction::ReadController, ConfigArea::Program2);
    ASSERT_TRUE(runToIdle());
    s.image.programs[1] = Program{};
    s.currentAction = TransferAction::NoAction;  // highlighting another item changes the action
    ASSERT_TRUE(RepeatLastTransfer(s));
    EXPECT_EQ(s.currentAction, TransferAction::ReadController);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(sim.frames("RX").back(), readRequestHex(ConfigArea::Program2));
    EXPECT_EQ(s.image.programs[1].steps[0].levels[0], patternMemory()[330]);
}

}  // namespace
}  // namespace kd215
