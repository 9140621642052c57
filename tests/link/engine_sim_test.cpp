// The transfer engine against kd215-sim over a real pseudo-terminal, at line timing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "link/frames.h"
#include "link/serial_posix.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "sim_process_posix.h"

namespace kd215 {
namespace {

std::vector<uint8_t> patternMemory() {
    std::vector<uint8_t> memory(512);
    for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i * 7 + 3);
    return memory;
}

bool sameImage(const ConfigImage& a, const ConfigImage& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class EngineOnSim : public ::testing::Test {
protected:
    void SetUp() override { s.connect(port, ui); }
    void startSim(const std::vector<std::string>& extra = {}, const std::vector<uint8_t>& memory = patternMemory()) {
        sim.presetMemory(memory);
        ASSERT_TRUE(sim.start(extra));
        ASSERT_EQ(port.open(sim.link()), OpenResult::Opened);
    }
    // Steps the engine as the message loop does until it is idle; false when it never got there.
    bool runToIdle(int ms = 5000) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (transferActive(s.link)) {
            if (std::chrono::steady_clock::now() > limit) return false;
            StepTransfer(s.link, s.image);
            if (transferActive(s.link)) port.waitForIo(20);
        }
        return true;
    }
    bool runUntil(ConfigArea area, TransferState state) {
        for (int i = 0; i < 2000 && transferActive(s.link); ++i) {
            if (s.link.currentArea == area && s.link.transferState == state) return true;
            StepTransfer(s.link, s.image);
            port.waitForIo(5);
        }
        return false;
    }
    void startAll(TransferAction action) {
        SelectAction(s.link, action);
        beginAllAreas(s.link);
    }

    SimProcess sim;
    PosixSerialPort port;
    fakes::RecordingUi ui;
    ProgramState s;
};

TEST_F(EngineOnSim, WriteAllThenReadAllBringsTheSameImageBack) {
    startSim({}, std::vector<uint8_t>(512, 0));
    s.image.scenes[4].levels[6] = 201;
    s.image.programs[0].steps[13].duration = 999;
    s.image.programs[1].endStep = kNoEndStep;
    s.image.channels[2].inputInverted = 1;
    s.image.common.operatingMode = 6;
    const ConfigImage written = s.image;
    startAll(TransferAction::WriteController);
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sim.memory()[80 + 4 * 10 + 6], 201);

    s.image = defaultConfigImage();
    ui.areaLabels.clear();
    startAll(TransferAction::ReadController);
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.areaLabels, (std::vector<std::string>{"\tUstaw.", "\tSceny", "\tPgm1", "\tPgm2"}));
    EXPECT_TRUE(sameImage(s.image, written));
    EXPECT_FALSE(s.link.chainAll);
}

TEST_F(EngineOnSim, VerifyAllAsksAboutEachDifferenceYesGoesOnAndNoEndsTheChain) {
    std::vector<uint8_t> memory(512, 0);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(s.image, block.area, memory.data() + block.address);
    memory[80 + 10 + 4] = 127;  // scene 2, channel 5
    memory[330 + 168] = 4;      // program 2 end step
    s.image.scenes[1].levels[4] = 128;
    const ConfigImage before = s.image;
    startSim({}, memory);
    startAll(TransferAction::Verify);
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Błąd weryfikacji : scena 2 kanał 5\n ( 128 <> 127 )\nKontynuować sprawdzanie ?");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ui.messages[1].text, "Błąd weryfikacji długości programu 2\n ( 0 <> 4 )\nKontynuować sprawdzanie ?");
    EXPECT_EQ(sim.frames("RX").size(), 4u);

    ui.answers = {UserAnswer::No};
    startAll(TransferAction::Verify);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(sim.frames("RX").size(), 6u);  // settings, then scenes where No was answered
    EXPECT_FALSE(s.link.chainAll);
    EXPECT_TRUE(sameImage(s.image, before));
}

TEST_F(EngineOnSim, CancelInTheMiddleOfAChainKeepsTheAreasBefore) {
    startSim();
    startAll(TransferAction::ReadController);
    ASSERT_TRUE(runUntil(ConfigArea::Scenes, TransferState::SendRequest));
    sim.control("fault bad-checksum 1");
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(s.image.channels[0].minLevel, patternMemory()[4 + 4]);  // settings were read
    EXPECT_EQ(s.image.scenes[0].levels[0], 0);                         // scenes and programs were not
    EXPECT_EQ(s.image.programs[0].steps[0].levels[0], 0);
    EXPECT_FALSE(s.link.chainAll);
    EXPECT_EQ(sim.frames("RX").size(), 2u);
}

// A restart while a chain of every area waits for its first reply replaces the chain: nothing follows.
TEST_F(EngineOnSim, RestartDuringAPendingChainAbortsItAndSendsTheRestartFrame) {
    startSim({"--fault", "silent:1"});
    startAll(TransferAction::ReadController);
    ASSERT_TRUE(runUntil(ConfigArea::Settings, TransferState::AwaitReply));
    const auto started = std::chrono::steady_clock::now();
    BeginRestart(s.link);
    ASSERT_TRUE(runToIdle(2000));
    // A gross bound, loose for a busy machine: the reply it abandons would be waited for many seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sim.frames("RX", 2), (std::vector<std::string>{"12 46 04 00 44 60", "0F 03 EE"}));
    EXPECT_TRUE(sameImage(s.image, defaultConfigImage()));
}

}  // namespace
}  // namespace kd215
