// The transfer engine's failures that a device cannot easily show: port errors, protocol errors.
#include <gtest/gtest.h>

#include <cstring>

#include "link/frames.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using testing::RecordingUi;
using testing::ScriptedPort;

std::vector<uint8_t> settingsReply(uint8_t code) {
    std::vector<uint8_t> frame(68 + 6, 0);
    frame[0] = code;
    frame[1] = 0x46;
    frame[2] = 4;
    frame[4] = 68;
    frame[5 + 2] = 77;  // switch-on time
    frame.back() = FrameChecksum(frame.data(), 68);
    return frame;
}

class EngineScripted : public ::testing::Test {
protected:
    void SetUp() override {
        s.port = &port;
        s.ui = &ui;
    }
    void runToIdle() {
        for (int i = 0; i < 100 && transferActive(s); ++i) StepTransfer(s);
        ASSERT_FALSE(transferActive(s));
    }
    void readSettings() {
        s.currentAction = TransferAction::ReadController;
        BeginAreaTransfer(s, ConfigArea::Settings);
    }
    ScriptedPort port;
    RecordingUi ui;
    ProgramState s;
};

TEST_F(EngineScripted, ReplyThatFailsTheAreaTestIsAProtocolError) {
    port.reads.push_back({IoStatus::Complete, settingsReply(0x11), 0});
    readSettings();
    runToIdle();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Błąd protokołu");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(s.image.common.switchOnTime, 30);
}

TEST_F(EngineScripted, ValidReplyIsStoredAfterPendingPolls) {
    port.reads.push_back({IoStatus::Pending, {}, 0});
    port.reads.push_back({IoStatus::Pending, {}, 0});
    port.reads.push_back({IoStatus::Complete, settingsReply(0x13), 0});
    readSettings();
    runToIdle();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.image.common.switchOnTime, 77);
}

TEST_F(EngineScripted, PortFailuresShowTheSystemCode) {
    port.writeResults.push_back({IoStatus::Failed, {}, 21});
    readSettings();
    runToIdle();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Kod błędu : 21");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(port.purges, 1);  // a failed write purges, a failed read does not

    port.reads.push_back({IoStatus::Failed, {}, 109});
    readSettings();
    runToIdle();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Kod błędu : 109");
    EXPECT_EQ(port.purges, 1);
    EXPECT_EQ(s.image.common.switchOnTime, 30);
}

TEST_F(EngineScripted, WriteAnsweredByNothingIsARefusalEvenAfterAnAck) {
    s.currentAction = TransferAction::WriteController;
    port.reads.push_back({IoStatus::Complete, {0x06, 0x03, 0xF7}, 0});
    BeginAreaTransfer(s, ConfigArea::Scenes);
    runToIdle();
    EXPECT_TRUE(ui.messages.empty());
    port.reads.push_back({IoStatus::Complete, {}, 0});  // the ack is still in the buffer
    BeginAreaTransfer(s, ConfigArea::Scenes);
    runToIdle();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Błąd komunikacji : NAK");
}

TEST_F(EngineScripted, WithoutAPortControllerActionsAreRefusedButFileActionsStart) {
    port.open_ = false;
    s.currentAction = TransferAction::ReadController;
    BeginAllAreas(s);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Musisz wybrać dostępny port szeregowy !");
    EXPECT_EQ(ui.messages[0].caption, "Ostrzeżenie");
    EXPECT_FALSE(transferActive(s));
    EXPECT_FALSE(s.chainAll);
    EXPECT_TRUE(port.written.empty());

    s.currentAction = TransferAction::ReadFromFile;
    BeginAreaTransfer(s, ConfigArea::Scenes);
    EXPECT_EQ(s.transferState, TransferState::FileTransfer);
    EXPECT_EQ(s.lastAction, TransferAction::ReadFromFile);
}

TEST_F(EngineScripted, CommandsThatStartWorkAreIgnoredWhileATransferRuns) {
    port.reads.push_back({IoStatus::Pending, {}, 0});
    readSettings();
    StepTransfer(s);
    s.currentAction = TransferAction::WriteController;
    BeginAllAreas(s);
    EXPECT_FALSE(s.chainAll);  // the running read did not become a chain
    BeginAreaTransfer(s, ConfigArea::Program2);
    EXPECT_EQ(s.currentArea, ConfigArea::Settings);
    EXPECT_FALSE(RepeatLastTransfer(s));
}

}  // namespace
}  // namespace kd215
