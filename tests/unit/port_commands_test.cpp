// The program following the hardware: "&Auto" and device changes read the port list again.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "link/frames.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

std::vector<PortInfo> systemPorts;  // what the system lists now
std::vector<PortInfo> listSystemPorts() { return systemPorts; }

std::vector<PortInfo> ports(std::initializer_list<const char*> names) {
    std::vector<PortInfo> list;
    for (const char* name : names) list.push_back({name, name, "", false});
    return list;
}

class PortCommands : public ::testing::Test {
protected:
    void SetUp() override {
        s.connect(port, ui);
        s.listPorts = listSystemPorts;
        s.portTable = ports({"COM1", "COM3"});
        port.open_ = false;
    }
    ProgramState s;
    testing::ScriptedPort port;
    testing::RecordingUi ui;
};

TEST_F(PortCommands, AutoProbesAnAdapterPluggedInSinceStartUp) {
    systemPorts = ports({"COM3", "COM1", "COM10"});
    port.reads = {{}, {IoStatus::Complete, {kAckFrame.begin(), kAckFrame.end()}}};  // COM1 silent, COM10 answers
    autoPortCommand(s);
    EXPECT_EQ(ui.portItems, (std::vector<std::string>{"COM1", "COM10", "COM3"}));
    EXPECT_EQ(s.portIndex, 1);
    EXPECT_TRUE(ui.portChecked[1]);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.link.transferState, TransferState::SendRequest) << "the version query follows";
}

TEST_F(PortCommands, AChangeDuringATransferWaitsThenTheVanishedPortIsDropped) {
    port.open_ = true;
    s.portIndex = 1;  // COM3, reading
    s.link.transferState = TransferState::AwaitReply;
    systemPorts = ports({"COM1"});
    portsChanged(s);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(ui.portItems.empty()) << "the menu changed under a transfer";

    s.link.transferState = TransferState::Idle;
    followPortChanges(s);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(ui.portItems, std::vector<std::string>{"COM1"});
    EXPECT_FALSE(ui.portChecked[0]);
    s.link.currentAction = TransferAction::ReadController;
    BeginAreaTransfer(s.link, ConfigArea::Scenes);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Musisz wybrać dostępny port szeregowy !");
}

}  // namespace
}  // namespace kd215
