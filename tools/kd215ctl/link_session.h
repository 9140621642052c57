// One controller exchange at a time, run to its end by the program's transfer engine, with a
// console in place of the message boxes: Retry a bounded number of times, then give up.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "frame_log.h"

namespace kd215 {

// A one-line progress display on a terminal; silent when `enabled` is false.
class Progress {
public:
    Progress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    void show(const std::string& text);
    void clear();
    // Clears the progress line first, so the message is not mixed into it.
    void message(const std::string& text);

private:
    std::ostream& err_;
    bool enabled_;
    std::size_t shown_ = 0;  // characters of the line now shown
};

enum class LinkStatus {
    Done,
    NoController,         // the line stayed silent: nothing at all came back during this run
    CommunicationFailed,  // the controller answered badly, or the port failed, and retries ran out
};

// Stands in for the message boxes: a communication error is answered Retry up to `retries`
// times per exchange and Cancel after that; verification prompts are answered Yes and kept.
class ConsoleUi final : public UserInterface {
public:
    ConsoleUi(Progress& progress, int retries) : progress_(progress), retries_(retries) {}

    // Before each exchange: the retry budget is per exchange.
    void beginExchange();
    bool failed() const { return failed_; }
    bool portFailed() const { return portFailed_; }  // "Kod błędu : " from the port itself
    const std::string& failureText() const { return failureText_; }
    const std::vector<std::string>& prompts() const { return prompts_; }

    UserAnswer showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                           MessageButtons buttons) override;
    void setStatusText(int, const std::string&) override {}
    void setRepeatEnabled(bool) override {}
    void setStopEnabled(bool) override {}
    void setPortChecked(int, bool) override {}
    void setProgress(int) override {}
    void requestRepaint() override {}

private:
    Progress& progress_;
    int retries_;
    int retriesUsed_ = 0;
    bool failed_ = false;
    bool portFailed_ = false;
    std::string failureText_;
    std::vector<std::string> prompts_;
};

class LinkSession {
public:
    // `port` is open (a LoggingPort, whose byte count tells a silent line).
    LinkSession(LoggingPort& port, Progress& progress, int retries);

    LinkStatus version(std::string& firmwareText);
    LinkStatus restart();
    // Reads `area` into its part of `image` and hands back the raw payload as received.
    LinkStatus readArea(ConfigArea area, ConfigImage& image, std::vector<uint8_t>& payload);
    // Writes the area's part of `image`; done when the controller acknowledged it.
    LinkStatus writeArea(ConfigArea area, const ConfigImage& image);

private:
    LinkStatus run(TransferAction action, ConfigArea area);

    LoggingPort& port_;
    Progress& progress_;
    ConsoleUi ui_;
    ProgramState state_;
};

// Compares a received payload with `expected` using the program's verification; every
// difference as one line, in the program's order.
std::vector<std::string> compareArea(ConfigArea area, const uint8_t* payload, const ConfigImage& expected);

}  // namespace kd215
