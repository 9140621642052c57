// Menu tables, command refusal, port commands and the status-bar texts and layout.
#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"
#include "link/probe.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using testing::RecordingUi;
using testing::ScriptedPort;

// A port whose probe answer depends on the name opened; records what was opened.
class ProbePort : public ScriptedPort {
public:
    std::set<std::string> answering, unopenable;
    std::vector<std::string> opened;
    std::string current;
    OpenResult open(const std::string& name) override {
        opened.push_back(name);
        if (unopenable.count(name)) {
            open_ = false;
            return OpenResult::OpenFailed;
        }
        current = name;
        open_ = true;
        reads.clear();
        reads.push_back({IoStatus::Complete,
                         answering.count(name) ? std::vector<uint8_t>{0x06, 0x03, 0xF7}
                                               : std::vector<uint8_t>{},
                         0});
        return OpenResult::Opened;
    }
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        s.port = &port;
        s.ui = &ui;
        s.portTable = {"COM1", "COM2", "COM3"};
    }
    ProbePort port;
    RecordingUi ui;
    ProgramState s;
};

TEST(MenuTree, EveryPopupKeyExistsAndIdsAreUnique) {
    std::set<int> ids;
    for (const MenuSpec& menu : menuTree()) {
        for (const MenuItemSpec& item : menu.items) {
            if (item.popupKey) {
                EXPECT_NE(findMenu(item.popupKey), nullptr) << item.popupKey;
            }
            if (item.id >= 0 && std::string(menu.key) != "Akcje") {
                EXPECT_TRUE(ids.insert(item.id).second || item.id == kCmdExit) << item.id;
            }
        }
    }
    const MenuSpec* action = findMenu("Akcje");
    ASSERT_NE(action, nullptr);
    EXPECT_STREQ(action->items[kRepeatItemPosition].caption, "&Powtórz");
    EXPECT_TRUE(action->items[kRepeatItemPosition].grayed);
    EXPECT_STREQ(action->items[kStopItemPosition].caption, "&Zatrzymaj");
    EXPECT_TRUE(action->items[kStopItemPosition].grayed);
    EXPECT_EQ(findMenu("wybór"), nullptr);  // keys compare exactly
}

TEST(MenuTree, HighlightedActionItemsSetTheAction) {
    const MenuSpec* action = findMenu("Akcje");
    EXPECT_EQ(actionForHighlight(2), TransferAction::ReadController);
    EXPECT_STREQ(action->items[2].caption, "&Odczyt ze sterownika");
    EXPECT_EQ(actionForHighlight(3), TransferAction::ReadFromFile);
    EXPECT_EQ(actionForHighlight(5), TransferAction::Verify);
    EXPECT_EQ(actionForHighlight(6), TransferAction::WriteToFile);
    EXPECT_EQ(actionForHighlight(7), TransferAction::WriteController);
    EXPECT_STREQ(action->items[7].caption, "Zapis do &sterownika");
    EXPECT_EQ(actionForHighlight(kCmdRestart), TransferAction::NoAction);
    EXPECT_EQ(actionForHighlight(4), TransferAction::NoAction);
}

TEST_F(Commands, AreaCommandsStartTheirAreaAndAreRefusedWhileBusy) {
    s.currentAction = TransferAction::WriteController;
    EXPECT_EQ(RunLinkCommand(s, kCmdAreaScenes), CommandResult::Handled);
    EXPECT_EQ(s.transferState, TransferState::SendRequest);
    EXPECT_EQ(s.transferAddress, 80u);
    EXPECT_EQ(RunLinkCommand(s, kCmdAreaProgram2), CommandResult::Handled);
    EXPECT_EQ(s.currentArea, ConfigArea::Scenes);
    RunLinkCommand(s, kCmdAll);
    EXPECT_FALSE(s.chainAll);
    RunLinkCommand(s, kCmdStop);
    EXPECT_FALSE(transferActive(s));
    EXPECT_EQ(RunLinkCommand(s, kCmdAbout), CommandResult::NotMine);
    EXPECT_EQ(RunLinkCommand(s, kCmdChannelEditor), CommandResult::NotMine);
}

TEST_F(Commands, RestartReplacesARunningTransfer) {
    s.currentAction = TransferAction::ReadController;
    RunLinkCommand(s, kCmdAll);
    RunLinkCommand(s, kCmdRestart);
    EXPECT_EQ(s.currentArea, ConfigArea::Restart);
    EXPECT_EQ(s.transferState, TransferState::SendRequest);
    EXPECT_FALSE(s.chainAll);
    EXPECT_GE(port.purges, 1);
}

TEST_F(Commands, StartUpProbeFindsTheSecondPortAndNeverOpensTheThird) {
    port.answering = {"COM2"};
    s.transferState = TransferState::SendRequest;
    s.currentArea = ConfigArea::Version;
    EXPECT_TRUE(StartUpProbe(s));
    EXPECT_EQ(port.opened, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(s.portIndex, 1);
    EXPECT_TRUE(ui.portChecked[1]);
    EXPECT_EQ(s.transferState, TransferState::SendRequest);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Commands, StartUpWithoutControllerTellsTheUserAndIdles) {
    s.transferState = TransferState::SendRequest;
    EXPECT_FALSE(StartUpProbe(s));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kControllerNotFoundText);
    EXPECT_EQ(ui.messages[0].caption, "Mamy problem :");
    EXPECT_EQ(s.transferState, TransferState::Idle);
    EXPECT_GT(ui.repaints, 0);  // so that the status bar shows "\tGotowe" again
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Commands, AutoAfterTheControllerIsPluggedInFindsIt) {
    StartUpProbe(s);
    port.answering = {"COM3"};
    RunLinkCommand(s, kCmdAutoPort);
    EXPECT_EQ(s.portIndex, 2);
    EXPECT_TRUE(ui.portChecked[2]);
    EXPECT_EQ(s.currentArea, ConfigArea::Version);
    EXPECT_EQ(s.transferAddress, 0u);
    EXPECT_EQ(s.transferState, TransferState::SendRequest);
}

TEST_F(Commands, PortItemOpensWithoutProbingAndReportsAFailedOpen) {
    port.answering = {"COM1"};
    StartUpProbe(s);
    port.opened.clear();
    port.written.clear();
    RunLinkCommand(s, kCmdFirstPort + 2);
    EXPECT_FALSE(ui.portChecked[0]);
    EXPECT_TRUE(ui.portChecked[2]);
    EXPECT_EQ(port.opened, std::vector<std::string>{"COM3"});
    EXPECT_TRUE(port.written.empty());  // the version request comes next, not a probe
    EXPECT_EQ(s.currentArea, ConfigArea::Version);

    port.unopenable = {"COM2"};
    s.transferState = TransferState::Idle;
    RunLinkCommand(s, kCmdFirstPort + 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Błąd otwarcia portu !");
    EXPECT_EQ(ui.messages[0].caption, "Ostrzeżenie");
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(ui.portChecked[2]);

    EXPECT_EQ(RunLinkCommand(s, kCmdFirstPort + 7), CommandResult::Handled);  // no such port: nothing
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(Commands, StatusTextsFollowTheState) {
    s.currentAction = TransferAction::Verify;
    EXPECT_EQ(actionStatusText(s), "\tGotowe");
    s.transferState = TransferState::AwaitReply;
    EXPECT_EQ(actionStatusText(s), "\tWeryfikacja");
    s.currentAction = TransferAction::NoAction;
    EXPECT_EQ(actionStatusText(s), "\tN/A");
    s.currentAction = TransferAction::WriteController;
    EXPECT_EQ(actionStatusText(s), "\tZapis do Kd215");
}

TEST(StatusLayout, CharacterWidthsOrShareOfANarrowWindow) {
    const StatusLayout wide = computeStatusLayout(8, 800);
    EXPECT_EQ(wide.edges[0], 96);
    EXPECT_EQ(wide.edges[1], 168);
    EXPECT_EQ(wide.edges[2], 344);
    EXPECT_EQ(wide.edges[3], -1);
    EXPECT_EQ(wide.progressLeft, 344);
    const StatusLayout narrow = computeStatusLayout(8, 300);
    EXPECT_EQ(narrow.edges[0], 72);
    EXPECT_EQ(narrow.edges[1], 126);
    EXPECT_EQ(narrow.edges[2], 258);
}

TEST(About, MakerLineClosesTheText) {
    EXPECT_EQ(aboutText().rfind("Program komunikacyjny\nKd215 <--> PC\nwersja 1.0\n\n", 0), 0u);
    EXPECT_NE(aboutText().find(kMakerLine), std::string::npos);
}

}  // namespace
}  // namespace kd215
