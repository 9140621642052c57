// The transfer engine's failures that a device cannot easily show: port errors, protocol errors.
#include <gtest/gtest.h>

#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using Reply = fakes::ScriptedPort::Reply;
using fakes::settingsReply;

class EngineScripted : public ::testing::Test {
protected:
    void SetUp() override { s.connect(port, ui); }
    void run(TransferAction action, ConfigArea area) {
        SelectAction(s.link, action);
        BeginAreaTransfer(s.link, area);
        for (int i = 0; i < 100 && transferActive(s.link); ++i) StepTransfer(s.link, s.image);
        ASSERT_FALSE(transferActive(s.link));
    }
    fakes::ScriptedPort port;
    fakes::RecordingUi ui;
    ProgramState s;
};

TEST_F(EngineScripted, ReplyThatFailsTheAreaTestIsAProtocolError) {
    port.reads = {Reply{IoStatus::Pending, {}, 0}, Reply{IoStatus::Complete, settingsReply(0x11), 0}};
    run(TransferAction::ReadController, ConfigArea::Settings);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Błąd protokołu");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(s.image.common.switchOnTime, 30);

    port.reads = {Reply{IoStatus::Pending, {}, 0}, Reply{IoStatus::Complete, settingsReply(), 0}};
    run(TransferAction::ReadController, ConfigArea::Settings);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(s.image.common.switchOnTime, 77);
}

TEST_F(EngineScripted, PortFailuresAreSystemErrorsWithTheirCode) {
    port.writeResults.push_back({IoStatus::Failed, {}, 21});
    run(TransferAction::ReadController, ConfigArea::Settings);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Kod błędu : 21");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(port.purges, 1);  // a failed write purges, a failed read does not

    port.reads.push_back({IoStatus::Failed, {}, 109});
    run(TransferAction::ReadController, ConfigArea::Settings);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Kod błędu : 109");
    EXPECT_EQ(port.purges, 1);
    EXPECT_EQ(s.image.common.switchOnTime, 30);
}

// A spoiled reply may be followed by the rest of it: the line is emptied before the request goes
// out again, so the retry reads its own answer.
TEST_F(EngineScripted, ARetryAfterASpoiledReplyGoesOutOnAnEmptiedLine) {
    std::vector<uint8_t> spoiled = settingsReply();
    spoiled.back() ^= 0x01;
    port.reads = {Reply{IoStatus::Complete, spoiled, 0}, Reply{IoStatus::Complete, settingsReply(), 0}};
    ui.answers = {UserAnswer::Retry};
    run(TransferAction::ReadController, ConfigArea::Settings);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::RetryCancel);
    EXPECT_EQ(port.purgesAtWrite, (std::vector<int>{0, 1}));
    EXPECT_EQ(s.image.common.switchOnTime, 77);
}

// What an outcome says came, beside the fault the program names: a refusal only for a whole NAK.
struct OutcomeRecorder final : LinkReporter {
    bool retryAfter(const TransferOutcome& outcome) override {
        outcomes.push_back(outcome);
        return false;
    }
    void failed(const TransferOutcome& outcome) override { outcomes.push_back(outcome); }
    bool continueAfter(const VerifyDifference&) override { return true; }
    std::vector<TransferOutcome> outcomes;
};

TEST(EngineOutcome, SaysARefusalOnlyForAWholeNakAndHowManyBytesCame) {
    fakes::ScriptedPort port;
    port.open("L1");
    OutcomeRecorder reporter;
    LinkState link;
    ConnectLink(link, port, reporter);
    ConfigImage image = defaultConfigImage();
    const std::vector<std::pair<std::vector<uint8_t>, ConfigArea>> replies = {
        {{0x15, 0x03, 0xE8}, ConfigArea::Scenes},    // a refusal
        {{0x15, 0x03, 0xE9}, ConfigArea::Scenes},    // spoiled: checksum
        {{0x41, 0x42, 0x43}, ConfigArea::Scenes},    // something else answering
        {{0x06, 0x03, 0xF7}, ConfigArea::Scenes},    // an ACK: no outcome
        {{}, ConfigArea::Scenes},                    // silence, the ACK still in the buffer
        {{0x15, 0x03, 0xE8}, ConfigArea::Settings},  // a NAK to a read
    };
    for (const auto& [reply, area] : replies) {
        port.reads = {Reply{IoStatus::Complete, reply, 0}};
        SelectAction(link, area == ConfigArea::Scenes ? TransferAction::WriteController : TransferAction::ReadController);
        BeginAreaTransfer(link, area);
        for (int i = 0; i < 100 && transferActive(link); ++i) StepTransfer(link, image);
    }
    ASSERT_EQ(reporter.outcomes.size(), 5u);
    const bool refused[] = {true, false, false, false, true};
    const uint32_t received[] = {3, 3, 3, 0, 3};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(reporter.outcomes[i].refused, refused[i]) << i;
        EXPECT_EQ(reporter.outcomes[i].received, received[i]) << i;
    }
    // The program's own fault is unchanged: every answer to a write but an ACK is its NAK.
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(reporter.outcomes[i].fault, TransferFault::Nak) << i;
}

TEST_F(EngineScripted, AChainThatLosesItsPortIsRefusedAndClearsTheChainFlag) {
    port.reads.push_back({IoStatus::Complete, settingsReply(), 0});
    SelectAction(s.link, TransferAction::ReadController);
    beginAllAreas(s.link);
    for (int i = 0; i < 10 && s.link.transferState != TransferState::AwaitReply; ++i) StepTransfer(s.link, s.image);
    port.open_ = false;  // the adapter is pulled while the settings are answered
    StepTransfer(s.link, s.image);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Musisz wybrać dostępny port szeregowy !");
    EXPECT_FALSE(transferActive(s.link));
    EXPECT_FALSE(s.link.chainAll);
    EXPECT_EQ(port.written.size(), 1u);
}

// What the user sees while the engine works: the action in the status bar from the first step,
// "&Zatrzymaj" only while an exchange with the controller runs, "&Powtórz" once an area went out.
TEST_F(EngineScripted, MenuAndStatusFollowTheTransferFromItsStart) {
    SelectAction(s.link, TransferAction::ReadController);
    BeginAreaTransfer(s.link, ConfigArea::Program1);
    EXPECT_EQ(ui.status[kStatusActionPart], "\tOdczyt z Kd215");
    EXPECT_TRUE(ui.stopEnabled);
    EXPECT_FALSE(ui.repeatEnabled);
    StepTransfer(s.link, s.image);
    EXPECT_EQ(ui.status[kStatusAreaPart], "\tPgm1");
    EXPECT_TRUE(ui.repeatEnabled);
    StopTransfer(s.link);
    EXPECT_FALSE(ui.stopEnabled);

    // The restart frame goes out on a line emptied first, so no late reply is read after it.
    const int purgesBefore = port.purges;
    BeginRestart(s.link);
    EXPECT_EQ(port.purges, purgesBefore + 1);
    EXPECT_FALSE(ui.stopEnabled);
    StopTransfer(s.link);
    SelectAction(s.link, TransferAction::ReadFromFile);
    BeginAreaTransfer(s.link, ConfigArea::Scenes);
    EXPECT_EQ(ui.status[kStatusActionPart], "\tOdczyt z pliku");
    EXPECT_FALSE(ui.stopEnabled);
    AbandonTransfer(s.link);
    BeginVersionQuery(s.link);
    EXPECT_TRUE(ui.stopEnabled);
}

}  // namespace
}  // namespace kd215
