// The menu tree, the link commands, the port commands and the status-bar texts and layout.
#include "app/commands.h"

#include "link/port_table.h"
#include "link/probe.h"
#include "link/serial_port.h"
#include "link/transfer_engine.h"

namespace kd215 {

const char* const kControllerNotFoundCaption = "Mamy problem :";
const char* const kReadyText = "\tGotowe";
const char* const kMakerLine = "Zespół projektu Kd215 link";
const char* const kHomePageAddress = "https://kd215.example/";

namespace {


MenuEntry command(const char* caption, int id, bool grayed = false) {
    return {caption, id, nullptr, grayed};
}
MenuEntry popup(const char* caption, const char* key) { return {caption, -1, key, false}; }
MenuEntry separator() { return {nullptr, -1, nullptr, false}; }

struct AreaCommand {
    int id;
    ConfigArea area;
};
const AreaCommand kAreaCommands[] = {
    {kCmdAreaSettings, ConfigArea::Settings},
    {kCmdAreaScenes, ConfigArea::Scenes},
    {kCmdAreaProgram1, ConfigArea::Program1},
    {kCmdAreaProgram2, ConfigArea::Program2},
};

void dropCurrentPort(ProgramState& s) {
    if (s.link.port->isOpen()) s.link.port->close();
    s.ui->setPortChecked(s.portIndex, false);
    s.portChecked = false;
}

void checkCurrentPort(ProgramState& s) {
    s.ui->setPortChecked(s.portIndex, true);
    s.portChecked = true;
}

// Probes every port; on success the found port is open, current and checked.
bool probeAndCheck(ProgramState& s) {
    const ProbeOutcome outcome = ProbePorts(*s.link.port, s.portTable);
    if (outcome.communicationFailed) {
        s.portIndex = outcome.failedIndex;
        s.ui->showMessage(probeFailureText(outcome), kCaptionFailed, MessageIcon::Error,
                          MessageButtons::Ok);
        return false;
    }
    if (outcome.foundIndex < 0) return false;
    s.portIndex = outcome.foundIndex;
    checkCurrentPort(s);
    return true;
}

// The list and menu read again. The port that is open keeps its check mark wherever its item
// moved; one that is no longer listed is closed, as after an "&Auto" that found nothing. A port
// left open unchecked (its probe write failed) stays unchecked.
void readPortList(ProgramState& s) {
    s.portListStale = false;
    if (s.listPorts == nullptr) return;
    const PortTableUpdate update = updatePortTable(s.portTable, s.portIndex, s.link.port->isOpen(), s.listPorts());
    if (update.currentGone) {
        s.link.port->close();
        s.portChecked = false;
    }
    s.portTable = update.table;
    s.portIndex = update.portIndex;
    s.ui->setPortItems(s.portTable);
    if (s.portChecked && s.link.port->isOpen()) s.ui->setPortChecked(s.portIndex, true);
}

void tellControllerNotFound(ProgramState& s) {
    s.ui->showMessage(kControllerNotFoundText, kControllerNotFoundCaption, MessageIcon::Warning,
                      MessageButtons::Ok);
}

}  // namespace

const std::vector<MenuPopup>& menuTree() {
    static const std::vector<MenuPopup> tree = {
        {"Kd215<->PC",
         {popup("&Akcja", "Akcje"), popup("&Wybór portu", "Port"), command("&Koniec pracy", kCmdExit),
          popup("&Pomoc", "Pomoc")}},
        {"Akcje",
         {command("&Powtórz", kCmdRepeat, true), separator(),
          popup("&Odczyt ze sterownika", "Wybór"), popup("Odczyt z &pliku", "Wybór"),
          popup("&Edycja", "Edycje"), popup("&Weryfikacja", "Wybór"),
          popup("Zapis &do pliku", "Wybór"), popup("Zapis do &sterownika", "Wybór"), separator(),
          command("&Zatrzymaj", kCmdStop, true), command("&Restart sterownika", kCmdRestart),
          separator(), command("&Koniec pracy", kCmdExit)}},
        {"Edycje",
         {command("&Ustawień wspólnych", kCmdCommonEditor), command("Ustawień &kanałów", kCmdChannelEditor),
          command("&Scen", kCmdEditScenes), command("Programu &1", kCmdEditProgram1),
          command("Programu &2", kCmdEditProgram2)}},
        {"Pomoc",
         {command("Opis &Programu", kCmdHelp), command("&O programie", kCmdAbout),
          command("&Stroma domowa", kCmdHomePage)}},
        {"Port", {command("&Auto", kCmdAutoPort)}},
        {"Wybór",
         {command("&Ustawienia", kCmdAreaSettings), command("&Sceny", kCmdAreaScenes),
          command("Program &1", kCmdAreaProgram1), command("Program &2", kCmdAreaProgram2),
          command("&Wszystko", kCmdAll)}},
    };
    return tree;
}

const MenuPopup* findMenu(const std::string& key) {
    for (const MenuPopup& menu : menuTree()) {
        if (key == menu.key) return &menu;
    }
    return nullptr;
}

TransferAction actionForHighlight(unsigned lowWord) {
    switch (lowWord) {
        case 2: return TransferAction::ReadController;
        case 3: return TransferAction::ReadFromFile;
        case 5: return TransferAction::Verify;
        case 6: return TransferAction::WriteToFile;
        case 7: return TransferAction::WriteController;
        default: return TransferAction::NoAction;
    }
}

CommandResult runLinkCommand(ProgramState& s, int id) {
    for (const AreaCommand& command : kAreaCommands) {
        if (command.id == id) {
            if (commandsAllowed(s)) BeginAreaTransfer(s.link, command.area);
            return CommandResult::Handled;
        }
    }
    switch (id) {
        case kCmdAll:
            if (commandsAllowed(s)) beginAllAreas(s.link);
            return CommandResult::Handled;
        case kCmdStop:
            StopTransfer(s.link);
            return CommandResult::Handled;
        case kCmdRepeat:
            repeatLastTransfer(s.link);
            return CommandResult::Handled;
        case kCmdRestart:
            BeginRestart(s.link);
            return CommandResult::Handled;
        case kCmdAutoPort:
            autoPortCommand(s);
            return CommandResult::Handled;
        default:
            break;
    }
    if (id > kCmdAutoPort) {
        const int index = id - kCmdFirstPort;
        if (index >= 0 && index < static_cast<int>(s.portTable.size())) selectPortCommand(s, index);
        return CommandResult::Handled;
    }
    return CommandResult::NotMine;
}

bool startUpProbe(ProgramState& s) {
    if (probeAndCheck(s)) return true;
    tellControllerNotFound(s);
    AbandonTransfer(s.link);
    s.ui->requestRepaint();  // the status bar still shows the version query's action
    return false;
}

void autoPortCommand(ProgramState& s) {
    // Abandon whatever runs: the port it talks to is about to go.
    AbandonTransfer(s.link);
    s.ui->setStopEnabled(false);
    dropCurrentPort(s);
    // An adapter plugged in since the last reading must be among the ports probed.
    readPortList(s);
    if (probeAndCheck(s)) {
        BeginVersionQuery(s.link);
    } else {
        tellControllerNotFound(s);
    }
    s.ui->requestRepaint();
}

void portsChanged(ProgramState& s) {
    s.portListStale = true;
    followPortChanges(s);
}

void followPortChanges(ProgramState& s) {
    // A transfer keeps the port it talks to until it ends, however the list changed meanwhile.
    if (s.portListStale && commandsAllowed(s)) readPortList(s);
}

void selectPortCommand(ProgramState& s, int portIndex) {
    dropCurrentPort(s);
    s.portIndex = portIndex;
    const OpenResult opened = s.link.port->open(s.portTable[static_cast<std::size_t>(portIndex)].name);
    if (opened != OpenResult::Opened) {
        s.ui->showMessage(openResultText(opened),
                          kCaptionWarning, MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    checkCurrentPort(s);
    BeginVersionQuery(s.link);  // no probe: the version request is the first exchange on the port
}

std::string actionStatusText(const ProgramState& s) {
    return s.link.transferState != TransferState::Idle ? actionLabel(s.link.currentAction) : kReadyText;
}

StatusLayout computeStatusLayout(int averageCharWidth, int windowWidth) {
    const int w = averageCharWidth;
    StatusLayout layout{{12 * w, 21 * w, 43 * w, -1}, 0};
    if (windowWidth - 9 * w < layout.edges[2]) {
        // Too narrow for widths in characters: the parts take 12/50, 9/50 and 22/50 of the window.
        layout.edges[0] = windowWidth * 12 / 50;
        layout.edges[1] = windowWidth * 9 / 50 + layout.edges[0];
        layout.edges[2] = windowWidth * 22 / 50 + layout.edges[1];
    }
    layout.progressLeft = layout.edges[2];
    return layout;
}

std::string aboutText() {
    return std::string("Program komunikacyjny\nKd215 <--> PC\nwersja 1.0\n\n") + kMakerLine;
}

}  // namespace kd215
