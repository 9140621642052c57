// The program's port commands and a device change: which port stays open and checked, and a
// "&Wszystko" chain whose port goes while a prompt is open.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "link/transfer_engine.h"
#include "support/fake_port_list.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using Reply = fakes::ScriptedPort::Reply;

class ProgramPorts : public ::testing::Test {
protected:
    void SetUp() override {
        s.connect(port, ui);
        s.listPorts = fakes::listSystemPorts;
        fakes::systemPorts() = fakes::portsNamed({"COM1", "COM3"});
        s.portTable = fakes::portsNamed({"COM1", "COM3"});
        port.open_ = false;
    }
    bool checked(int index) { return ui.portChecked.count(index) != 0 && ui.portChecked[index]; }
    fakes::ScriptedPort port;
    fakes::RecordingUi ui;
    ProgramState s;
};

TEST_F(ProgramPorts, AnOpenPortKeepsItsCheckWhereItMovesAndIsClosedWhenItIsGone) {
    runLinkCommand(s, kCmdFirstPort + 1);  // COM3
    AbandonTransfer(s.link);
    ASSERT_TRUE(port.isOpen());
    fakes::systemPorts() = fakes::portsNamed({"COM3", "COM12", "COM1"});
    ui.portChecked.clear();
    portsChanged(s);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(checked(2));  // COM1, COM12, COM3

    fakes::systemPorts() = fakes::portsNamed({"COM1"});
    ui.portChecked.clear();
    portsChanged(s);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(ui.portChecked.empty());
}

TEST_F(ProgramPorts, APortWhoseProbeWriteFailedIsNeverCheckedByARebuiltMenu) {
    port.writeResults.push_back({IoStatus::Failed, {}, 31});
    EXPECT_FALSE(startUpProbe(s));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Błąd komunikacji : 31");
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(ui.portChecked.empty());

    fakes::systemPorts() = fakes::portsNamed({"COM1", "COM2", "COM3"});
    portsChanged(s);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(ui.portChecked.empty());
}

TEST_F(ProgramPorts, AChainWhosePortGoesDuringAVerificationPromptEndsTheTransfer) {
    runLinkCommand(s, kCmdFirstPort);  // COM1
    AbandonTransfer(s.link);
    port.reads.push_back({IoStatus::Complete, fakes::settingsReply(), 0});  // the image holds 30: asked
    ui.whileShown = [this](const fakes::ShownMessage& message) {
        if (message.buttons != MessageButtons::YesNo) return;
        fakes::systemPorts() = fakes::portsNamed({"COM3"});  // the adapter is pulled
        portsChanged(s);
    };
    SelectAction(s.link, TransferAction::Verify);
    runLinkCommand(s, kCmdAll);
    for (int i = 0; i < 20 && transferActive(s.link); ++i) StepTransfer(s.link, s.image);

    // Every difference of the settings asked about and answered Yes, then the next area refused.
    ASSERT_GE(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ui.messages.back().text, "Musisz wybrać dostępny port szeregowy !");
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(ui.stopEnabled);
    EXPECT_EQ(static_cast<int>(s.link.transferState), 0);
    EXPECT_FALSE(s.link.chainAll);
}

}  // namespace
}  // namespace kd215
