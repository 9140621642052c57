// The program's one state record, the seam to its windows, and the renderer of the engine's reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/config_image.h"
#include "link/link_state.h"
#include "link/port_list.h"

namespace kd215 {

enum class MessageIcon { Warning, Error, Information };
enum class MessageButtons { Ok, RetryCancel, YesNo };
enum class UserAnswer { Ok, Retry, Cancel, Yes, No };

// Status-bar parts.
constexpr int kStatusFirmwarePart = 0;
constexpr int kStatusAreaPart = 1;
constexpr int kStatusActionPart = 2;

// Status-bar part 0: "\tFW : 1.05" once the version was read, kUnknownFirmwareText before.
std::string firmwareStatusText(FirmwareVersion version);
extern const char* const kUnknownFirmwareText;  // "\tFW : N/A"

// What the portable code needs from the windowing side: message boxes, the status bar, the
// items of the "&Akcja" and "&Wybór portu" menus, the progress bar and a repaint of the client.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    virtual UserAnswer showMessage(const std::string& text, const std::string& caption,
                                   MessageIcon icon, MessageButtons buttons) = 0;
    virtual void setStatusText(int part, const std::string& text) = 0;
    virtual void setRepeatEnabled(bool enabled) = 0;  // "&Powtórz"
    virtual void setStopEnabled(bool enabled) = 0;    // "&Zatrzymaj"
    virtual void setPortChecked(int portIndex, bool checked) = 0;
    // Replaces the port items of "&Wybór portu" with one per table entry (201 + i), none checked.
    virtual void setPortItems(const std::vector<PortInfo>& portTable) = 0;
    virtual void setProgress(int position) = 0;
    // Repaints the client window, whose paint refreshes every status text.
    virtual void requestRepaint() = 0;
};

struct ProgramState;

// Shows what the engine reports the way the program always has: message boxes with their
// captions and icons, the status bar, the progress bar and the "&Akcja" items.
class ProgramReporter final : public LinkReporter {
public:
    explicit ProgramReporter(ProgramState& state) : s_(state) {}

    void transferStarted(ConfigArea area, TransferAction action) override;
    void requestSent(ConfigArea area) override;
    void areaDone(ConfigArea area, TransferAction action) override;
    void firmwareRead(FirmwareVersion version) override;
    void transferEnded() override;
    bool retryAfter(const TransferOutcome& outcome) override;
    void failed(const TransferOutcome& outcome) override;
    bool continueAfter(const VerifyDifference& difference) override;

private:
    ProgramState& s_;
};

// Everything the program keeps while it runs; one instance, created at start-up, never copied
// (the engine's reporter refers back to it).
struct ProgramState {
    ProgramState() = default;
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    ConfigImage image = defaultConfigImage();
    LinkState link;

    int progressPos = 0;
    // The area an editor names in the status bar while it is open, and NoArea once it has closed,
    // until the next transfer starts; without it the bar names the engine's current area.
    std::optional<ConfigArea> editorArea;
    std::string fwStatusText = kUnknownFirmwareText;

    std::vector<PortInfo> portTable;  // the "&Wybór portu" items, from buildPortTable
    int portIndex = 0;
    // Whether portTable[portIndex] carries the check mark: a port left open by a probe whose
    // write failed is current but unchecked, and a rebuilt menu must keep it so.
    bool portChecked = false;
    // Where the ports come from (ListPorts on Windows), asked again at "&Auto" and after a device
    // change; set once at start-up.
    std::vector<PortInfo> (*listPorts)() = nullptr;
    // A device came or went while a transfer ran: the list is read again once it has ended.
    bool portListStale = false;

    // The seam to the windows, set once at start-up with connect() and never null afterwards.
    UserInterface* ui = nullptr;
    ProgramReporter reporter{*this};

    // Hands the engine its port and this program's reporter, and the program its windows.
    void connect(SerialPort& port, UserInterface& userInterface) {
        ConnectLink(link, port, reporter);
        ui = &userInterface;
    }
};

// The area the status bar names.
inline ConfigArea shownArea(const ProgramState& s) { return s.editorArea.value_or(s.link.currentArea); }

// Caption and texts shared by more than one subsystem.
extern const char* const kCaptionWarning;  // "Ostrzeżenie"
extern const char* const kCaptionFailed;   // "Niepowodzenie"

}  // namespace kd215
