// One port's line among several: what it says, tagged with the port's short name and passed on
// whole, so that the lines of different ports never mix; what it is doing, for the block of lines
// a terminal redraws; and the last thing it said, for the closing table.
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "console/command_sink.h"

namespace kd215 {

// What one port is doing now, for the block of lines redrawn on a terminal.
struct PortProgress {
    std::string name;   // the port's short name
    std::string doing;  // the area being read or written, the last message, or the outcome
    double seconds = 0;
};

// A whole line waiting to be written, and the stream it goes to.
using PortLine = std::pair<std::ostream*, std::string>;

// On a terminal: what each port is doing, and the whole lines waiting for the main thread,
// which clears the block of progress lines, prints them and draws the block again.
struct Board {
    std::mutex lock;
    std::vector<PortProgress> ports;
    std::vector<bool> done;
    std::vector<PortLine> lines;
};

// The last thing a port said: why it failed, or where it stood when it was stopped (the areas'
// states after a failed write, a retry under way). `fault` is a communication fault alone, as
// CommandSink::failed gives it.
struct PortReason {
    std::string text;
    std::string fault;
};

class PortSink final : public CommandSink {
public:
    // `tag` names the port on each of its lines; a message about any of `aliases` (the port's
    // other names) is taken as about the port, so that it is named once. With a `board`, each
    // message, and each progress text when `showProgress`, is what the port at `index` is doing.
    PortSink(std::ostream& out, std::ostream& err, std::string tag, std::vector<std::string> aliases, bool quiet,
             bool showProgress, Board* board, std::size_t index)
        : out_(out), err_(err), tag_(std::move(tag)), aliases_(std::move(aliases)), quiet_(quiet),
          showProgress_(showProgress), board_(board), index_(index) {}

    void progress(const std::string& text) override {
        if (showProgress_) showDoing(text);
    }
    void clearProgress() override {}
    void message(const std::string& subject, const std::string& text) override { say(subject, text, ""); }
    void note(const std::string& subject, const std::string& text) override {
        if (!quiet_) say(subject, text, "");
    }
    void failed(const std::string& subject, const std::string& text, const std::string& fault) override {
        say(subject, text, fault);
    }
    // The closing table says that the port was interrupted; its lines say only where it stood.
    void interrupted(const std::string&) override { showDoing(kInterruptedWord); }
    void resultLine(const std::string& line) override { lines_.emplace_back(&out_, tag_ + ": " + line); }
    void frameLine(const std::string& line) override;

    // Its lines so far, in the order said.
    const std::vector<PortLine>& lines() const { return lines_; }
    const PortReason& reason() const { return reason_; }

private:
    void say(const std::string& subject, const std::string& text, const std::string& fault);
    void showDoing(const std::string& text);

    std::ostream& out_;
    std::ostream& err_;
    std::string tag_;
    std::vector<std::string> aliases_;
    bool quiet_;
    bool showProgress_;
    Board* board_;
    std::size_t index_;
    std::vector<PortLine> lines_;
    PortReason reason_;
};

}  // namespace kd215
