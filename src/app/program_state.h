// The program's one state record and the seam through which the portable code reaches the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_image.h"
#include "link/frames.h"

namespace kd215 {

class SerialPort;

enum class TransferState : int32_t {
    Idle = 0,
    SendRequest = 1,
    AwaitWrite = 2,
    AwaitReply = 3,
    FileTransfer = 5,  // 4 is not used
};

enum class MessageIcon { Warning, Error, Information };
enum class MessageButtons { Ok, RetryCancel, YesNo };
enum class UserAnswer { Ok, Retry, Cancel, Yes, No };

// Status-bar parts.
constexpr int kStatusFirmwarePart = 0;
constexpr int kStatusAreaPart = 1;
constexpr int kStatusActionPart = 2;

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
    virtual void setProgress(int position) = 0;
    // Repaints the client window, whose paint refreshes every status text.
    virtual void requestRepaint() = 0;
};

// Everything the program keeps while it runs; one instance, created at start-up.
struct ProgramState {
    ConfigImage image = defaultConfigImage();

    TransferState transferState = TransferState::Idle;
    ConfigArea currentArea = ConfigArea::Version;
    TransferAction currentAction = TransferAction::WriteController;
    ConfigArea lastArea = ConfigArea::Settings;
    TransferAction lastAction = TransferAction::WriteController;
    uint32_t areaAddress = 0;      // address of the area started last
    uint32_t transferAddress = 0;  // put into the request and expected back; 0 for the version
    bool chainAll = false;         // "&Wszystko": the end of an area starts the next one

    // Decoded from the last exchange.
    uint8_t payloadLength = 0;
    uint32_t replyAddress = 0;
    uint8_t replyResidue = 0;
    uint32_t bytesWritten = 0;
    uint32_t bytesRead = 0;

    int progressPos = 0;
    std::string fwStatusText = kUnknownFirmwareText;

    FrameBuffer txBuffer{};
    FrameBuffer rxBuffer{};
    std::size_t txLength = 0;

    std::vector<std::string> portTable;  // bare COM names, sorted
    int portIndex = 0;

    // The seams, set once at start-up and never null afterwards.
    SerialPort* port = nullptr;
    UserInterface* ui = nullptr;
};

// Caption and texts shared by more than one subsystem.
extern const char* const kCaptionWarning;  // "Ostrzeżenie"
extern const char* const kCaptionFailed;   // "Niepowodzenie"

}  // namespace kd215
