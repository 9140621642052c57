// The program's shell in the page: its one state, the page's face of the user-interface seam and of
// the file dialogs, the commands of the windowing side, and the entry points the page calls.
#include <emscripten.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/commands.h"
#include "app/file_step.h"
#include "app/program_state.h"
#include "app/shell_texts.h"
#include "link/transfer_engine.h"
#include "web_line.h"
#include "web_shell.h"

namespace kd215 {

namespace {

// ---- the page, through Module.kdPage (page.js) ------------------------------------------------

EM_ASYNC_JS(int, pageMessage, (const char* text, const char* caption, int icon, int buttons), {
    return await Module.kdPage.message(UTF8ToString(text), UTF8ToString(caption), icon, buttons);
});
EM_JS(void, pageStatus, (int part, const char* text), { Module.kdPage.status(part, UTF8ToString(text)); });
EM_JS(void, pageItemEnabled, (int id, int enabled), { Module.kdPage.itemEnabled(id, !!enabled); });
EM_JS(void, pagePortChecked, (int index, int checked), { Module.kdPage.portChecked(index, !!checked); });
EM_JS(void, pagePortItems, (const char* namesJson), { Module.kdPage.portItems(JSON.parse(UTF8ToString(namesJson))); });
EM_JS(void, pageProgress, (int position), { Module.kdPage.progress(position); });
EM_JS(void, pageRepaint, (), { Module.kdPage.repaint(); });
EM_JS(void, pageOpenAddress, (const char* address), { Module.kdPage.openAddress(UTF8ToString(address)); });
// Waits until the editor of `kind` (0 common settings, 1 channels, 2 scenes and programs) closes.
EM_ASYNC_JS(void, pageEdit, (int kind, int area), { await Module.kdPage.edit(kind, area); });
// The ports the page can open, as JSON [{"name", "demo"}], the chosen order.
EM_JS(char*, pagePorts, (), { return allocateUTF8(JSON.stringify(Module.kdLine.ports())); });

// The file dialog: the chosen name, or "" when cancelled.
EM_ASYNC_JS(char*, pageChooseFile, (int save, const char* title, const char* extension, const char* path), {
    const name = await Module.kdPage.chooseFile(!!save, UTF8ToString(title), UTF8ToString(extension), UTF8ToString(path));
    return allocateUTF8(name);
});
// Bytes of a file the user chose to load: its size, or -1 when the page holds no such file.
EM_JS(int, pageFileSize, (const char* path), { return Module.kdPage.fileSize(UTF8ToString(path)); });
EM_JS(void, pageFileRead, (const char* path, uint8_t* into, int n), {
    HEAPU8.set(Module.kdPage.fileBytes(UTF8ToString(path)).subarray(0, n), into);
});
// Saves the bytes under the chosen name; false when the browser refused.
EM_ASYNC_JS(int, pageFileWrite, (const char* path, const uint8_t* bytes, int n), {
    return await Module.kdPage.saveFile(UTF8ToString(path), HEAPU8.slice(bytes, bytes + n)) ? 1 : 0;
});

std::string takeText(char* text) {
    std::string copy(text);
    std::free(text);
    return copy;
}

class PageUserInterface final : public UserInterface {
public:
    UserAnswer showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                           MessageButtons buttons) override {
        const int answer = pageMessage(text.c_str(), caption.c_str(), static_cast<int>(icon), static_cast<int>(buttons));
        return static_cast<UserAnswer>(answer);
    }
    void setStatusText(int part, const std::string& text) override { pageStatus(part, text.c_str()); }
    void setRepeatEnabled(bool enabled) override { pageItemEnabled(kCmdRepeat, enabled); }
    void setStopEnabled(bool enabled) override { pageItemEnabled(kCmdStop, enabled); }
    void setPortChecked(int portIndex, bool checked) override { pagePortChecked(portIndex, checked); }
    void setPortItems(const std::vector<PortInfo>& portTable) override {
        nlohmann::json names = nlohmann::json::array();
        for (const PortInfo& port : portTable) names.push_back(port.name);
        pagePortItems(names.dump().c_str());
    }
    void setProgress(int position) override { pageProgress(position); }
    void requestRepaint() override { pageRepaint(); }
};

// The file dialogs are the page's; a file chosen for loading is held by the page as bytes.
class PageFileAccess final : public FileAccess {
public:
    bool chooseFile(FileDialogRequest& request) override {
        const std::string name = takeText(pageChooseFile(request.save, request.title.c_str(),
                                                         request.defaultExtension.c_str(), request.path.c_str()));
        if (name.empty()) return false;
        request.path = name;
        const std::size_t dot = name.rfind('.');
        request.extensionOffset = dot == std::string::npos ? 0 : dot + 1;
        return true;
    }
    bool exists(const std::string& path) override { return pageFileSize(path.c_str()) >= 0; }
    // The browser's own save dialog asks before a file is replaced.
    bool isReadOnly(const std::string&) override { return false; }
    bool writeWhole(const std::string& path, const ByteBuffer& bytes, FileError& error) override {
        if (pageFileWrite(path.c_str(), bytes.data(), static_cast<int>(bytes.size())) != 0) return true;
        error.created = false;
        return false;
    }
    FileReadStatus readStart(const std::string& path, std::size_t limit, ByteBuffer& bytes) override {
        const int size = pageFileSize(path.c_str());
        if (size < 0) return FileReadStatus::Missing;
        bytes.resize(std::min<std::size_t>(limit, static_cast<std::size_t>(size)));
        pageFileRead(path.c_str(), bytes.data(), static_cast<int>(bytes.size()));
        return FileReadStatus::Ok;
    }
};

struct Page {
    ProgramState state;
    WebSerialPort port;
    PageUserInterface ui;
    PageFileAccess files;
    FileDialogState fileDialog;
    bool portListStale = false;
};

Page& page() {
    static Page* thePage = [] {
        Page* p = new Page;
        p->state.connect(p->port, p->ui);
        return p;
    }();
    return *thePage;
}

// The page's list of ports, read again: the demo controller first, then the ports granted to the
// page. The open port keeps its check mark wherever it moved; one no longer listed is closed.
void readPagePorts(Page& p) {
    ProgramState& s = p.state;
    p.portListStale = false;
    const std::string current = s.link.port->isOpen() && s.portIndex < static_cast<int>(s.portTable.size())
                                    ? s.portTable[static_cast<std::size_t>(s.portIndex)].name
                                    : std::string();
    std::vector<PortInfo> table;
    for (const auto& listed : nlohmann::json::parse(takeText(pagePorts()))) {
        PortInfo port;
        port.name = listed.at("name").get<std::string>();
        port.devicePath = port.name;
        // The probe passes over the demo controller, as over a Bluetooth port: "Auto" looks for
        // hardware, and the demo is chosen by hand.
        port.bluetooth = listed.at("demo").get<bool>();
        table.push_back(port);
    }
    s.portTable = table;
    s.portIndex = 0;
    bool kept = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (current.empty() || table[i].name != current) continue;
        s.portIndex = static_cast<int>(i);
        kept = true;
    }
    if (!current.empty() && !kept) s.link.port->close();
    p.ui.setPortItems(s.portTable);
    if (s.link.port->isOpen()) p.ui.setPortChecked(s.portIndex, true);
}

void closePortCommand(Page& p) {
    ProgramState& s = p.state;
    const UserAnswer answer = p.ui.showMessage(kExitWarningText, kCaptionWarning, MessageIcon::Warning, MessageButtons::YesNo);
    if (answer != UserAnswer::Yes) return;
    // The page cannot close its window: "Koniec pracy" ends the work on the line instead.
    AbandonTransfer(s.link);
    p.ui.setStopEnabled(false);
    if (s.link.port->isOpen()) s.link.port->close();
    p.ui.setPortChecked(s.portIndex, false);
    p.ui.requestRepaint();
}

void editCommand(Page& p, EditorKind kind, ConfigArea area) {
    ProgramState& s = p.state;
    if (!commandsAllowed(s)) return;
    if (kind == EditorKind::SceneProgram) {
        s.editorArea = area;
        p.ui.setStatusText(kStatusAreaPart, kEditingStatusText);
    }
    pageEdit(static_cast<int>(kind), static_cast<int>(area));
    if (kind != EditorKind::CommonSettings) {
        s.editorArea = ConfigArea::NoArea;
        p.ui.requestRepaint();
    }
}

// The commands that belong to the windowing side: help, About, exit, home page and the editors.
void runShellCommand(Page& p, int id) {
    switch (id) {
        case kCmdHelp:
            p.ui.showMessage(kNoHelpText, kNoHelpCaption, MessageIcon::Information, MessageButtons::Ok);
            break;
        case kCmdAbout:
            p.ui.showMessage(aboutText(), kAboutCaption, MessageIcon::Information, MessageButtons::Ok);
            break;
        case kCmdExit: closePortCommand(p); break;
        case kCmdHomePage: pageOpenAddress(kHomePageAddress); break;
        case kCmdCommonEditor: editCommand(p, EditorKind::CommonSettings, ConfigArea::Settings); break;
        case kCmdChannelEditor: editCommand(p, EditorKind::Channels, ConfigArea::Settings); break;
        case kCmdEditScenes: editCommand(p, EditorKind::SceneProgram, ConfigArea::Scenes); break;
        case kCmdEditProgram1: editCommand(p, EditorKind::SceneProgram, ConfigArea::Program1); break;
        case kCmdEditProgram2: editCommand(p, EditorKind::SceneProgram, ConfigArea::Program2); break;
        default: break;
    }
}

}  // namespace

ConfigImage& pageImage() { return page().state.image; }
std::string pageFirmwareText() { return page().state.fwStatusText; }

}  // namespace kd215

using namespace kd215;

extern "C" {

// Start-up: the port list, then the demo controller opened when `openDemo`, else the probe of the
// granted ports (none granted yet: nothing is probed and nothing said, as on a first visit).
EMSCRIPTEN_KEEPALIVE void kd_start(int openDemo) {
    Page& p = page();
    readPagePorts(p);
    p.ui.requestRepaint();
    if (openDemo) {
        for (std::size_t i = 0; i < p.state.portTable.size(); ++i) {
            if (p.state.portTable[i].bluetooth) runLinkCommand(p.state, kCmdFirstPort + static_cast<int>(i));
        }
        return;
    }
    bool anyHardware = false;
    for (const PortInfo& port : p.state.portTable) anyHardware = anyHardware || !port.bluetooth;
    if (!anyHardware) return;
    QueueVersionQuery(p.state.link);
    startUpProbe(p.state);
}

EMSCRIPTEN_KEEPALIVE void kd_command(int id) {
    Page& p = page();
    if (runLinkCommand(p.state, id) == CommandResult::NotMine) runShellCommand(p, id);
}

// An item of "&Akcja" highlighted: its position for a popup, its ID for a command.
EMSCRIPTEN_KEEPALIVE void kd_highlight(int lowWord) { SelectAction(page().state.link, actionForHighlight(static_cast<unsigned>(lowWord))); }

// One step of whatever runs; returns the transfer state after it.
EMSCRIPTEN_KEEPALIVE int kd_step() {
    Page& p = page();
    ProgramState& s = p.state;
    switch (s.link.transferState) {
        case TransferState::SendRequest:
        case TransferState::AwaitWrite:
        case TransferState::AwaitReply: StepTransfer(s.link, s.image); break;
        case TransferState::FileTransfer: runFileStep(s, p.files, p.fileDialog); break;
        default: break;
    }
    if (!transferActive(s.link)) {
        if (s.progressPos != 0) {
            s.progressPos = 0;
            p.ui.setProgress(0);
        }
        if (p.portListStale) readPagePorts(p);
    }
    return static_cast<int>(s.link.transferState);
}

EMSCRIPTEN_KEEPALIVE int kd_state() { return static_cast<int>(page().state.link.transferState); }

// What the client window's paint does: every status text from the state.
EMSCRIPTEN_KEEPALIVE void kd_paint() {
    Page& p = page();
    const ProgramState& s = p.state;
    p.ui.setStatusText(kStatusAreaPart, areaLabel(shownArea(s)));
    p.ui.setStatusText(kStatusActionPart, actionStatusText(s));
    p.ui.setStatusText(kStatusFirmwarePart, s.fwStatusText);
}

// A port was granted, plugged in or pulled out: the list is read again now when idle, else once
// the transfer has ended (a pulled-out adapter fails the transfer's read first).
EMSCRIPTEN_KEEPALIVE void kd_ports_changed() {
    Page& p = page();
    p.portListStale = true;
    if (!transferActive(p.state.link)) readPagePorts(p);
}

// The menu tree, the window's title and the status texts the page shows before the first paint.
EMSCRIPTEN_KEEPALIVE const char* kd_shell_json() {
    static std::string text;
    nlohmann::json menus = nlohmann::json::array();
    for (const MenuPopup& menu : menuTree()) {
        nlohmann::json items = nlohmann::json::array();
        for (const MenuEntry& item : menu.items) {
            items.push_back({{"caption", item.caption ? item.caption : ""}, {"id", item.id},
                             {"popup", item.popupKey ? item.popupKey : ""}, {"grayed", item.grayed}});
        }
        menus.push_back({{"key", menu.key}, {"items", items}});
    }
    text = nlohmann::json{{"title", kMainWindowTitle}, {"menus", menus}}.dump();
    return text.c_str();
}

}  // extern "C"
