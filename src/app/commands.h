// The menus as tables, the commands that drive the link, the port commands and the status texts.
#pragma once

#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/program_state.h"

namespace kd215 {

// Positions in the "&Akcja" popup that other code greys or enables.
constexpr int kRepeatItemPosition = 0;
constexpr int kStopItemPosition = 9;

// One item of a menu: a command, a popup (by key) or a separator (no caption).
struct MenuEntry {
    const char* caption;  // nullptr for a separator
    int id;               // command ID; -1 for separators and popups
    const char* popupKey; // key of the popup this item opens, or nullptr
    bool grayed;
};

struct MenuPopup {
    const char* key;
    std::vector<MenuEntry> items;
};

// The menu tree: the bar "Kd215<->PC" and the popups "Akcje", "Edycje", "Pomoc", "Port", "Wybór".
// "Port" lists "&Auto" only; the port items are appended from the port table.
const std::vector<MenuPopup>& menuTree();
// The menu of `key`, or nullptr for an unknown key (keys compare exactly).
const MenuPopup* findMenu(const std::string& key);

// The action recorded when an item of the "&Akcja" popup is highlighted (its position or ID).
TransferAction actionForHighlight(unsigned lowWord);

enum class CommandResult {
    Handled,   // the command ran (or was refused silently because a transfer is active)
    NotMine,   // not a link command: the windowing side handles it
};

// Runs the commands that touch only the program state, the port and the engine: the area
// commands, "&Wszystko", Stop, "&Powtórz", "&Restart sterownika", "&Auto" and the port items.
CommandResult runLinkCommand(ProgramState& s, int id);

// Whether a command that starts work or opens an editor may run now.
inline bool commandsAllowed(const ProgramState& s) { return s.link.transferState == TransferState::Idle; }

// The probe at start-up, after the version query was prepared: on success the port is open and
// checked and the query stays due; otherwise the user is told and the program idles.
bool startUpProbe(ProgramState& s);
// "&Auto": drop the current port, read the port list again and probe every port on it.
void autoPortCommand(ProgramState& s);
// A device came or went: the port list and menu are read again now when idle (an open port that
// is gone is closed and unchecked; no port is opened), else once the transfer has ended.
void portsChanged(ProgramState& s);
// Called whenever the program is idle: carries out a reading of the list that had to wait.
void followPortChanges(ProgramState& s);
// Port item i: open that port (telling the user when it fails) and ask for the firmware version.
void selectPortCommand(ProgramState& s, int portIndex);

extern const char* const kControllerNotFoundCaption;  // "Mamy problem :"

// Status-bar texts.
extern const char* const kReadyText;  // "\tGotowe"
// Status-bar part 2: the action while a transfer runs, "\tGotowe" otherwise.
std::string actionStatusText(const ProgramState& s);

// Right edges of the four status-bar parts and where the progress bar starts.
struct StatusLayout {
    int edges[4];
    int progressLeft;  // x3: the left side of the progress bar (the third edge)
};
// From the average character width of the window's font and the window's outer width.
StatusLayout computeStatusLayout(int averageCharWidth, int windowWidth);

// The About box text and the home page: ours, kept in one place.
extern const char* const kMakerLine;
extern const char* const kHomePageAddress;
std::string aboutText();

}  // namespace kd215
