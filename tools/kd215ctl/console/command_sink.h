// What a command says while it runs, and the terminal that shows it for one port: one seam
// between the commands and their front-ends, as LinkReporter is between the engine and whoever
// shows its work. A front-end is told what happened; none reads text another one wrote.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace kd215 {

// kd215ctl's one form of message: "kd215ctl: ", the file or port concerned (`subject`, "" for
// none) and a colon, then the text, all on one line. A program text laid out over several lines
// ("name :\nBłąd odczytu !") keeps its words and loses its line breaks.
std::string messageLine(const std::string& subject, const std::string& text);
// A text on one line, as messageLine lays it out after the form.
std::string oneLine(const std::string& text);

class CommandSink {
public:
    virtual ~CommandSink() = default;

    // What the command is doing now ("Odczyt: ustawienia (2/4)"), until the next progress or a clear.
    virtual void progress(const std::string& text) = 0;
    virtual void clearProgress() = 0;
    // A message about `subject`, a port or a file ("" for the run as a whole).
    virtual void message(const std::string& subject, const std::string& text) = 0;
    // What is neither a result nor an error (a retry); left out with -q.
    virtual void note(const std::string& subject, const std::string& text) = 0;
    // The failure that ends the command. `fault` is a communication fault in its own words
    // ("NAK (sterownik odmówił)"), without the program's heading, for a table whose column already
    // says "błąd komunikacji"; "" for any other failure.
    virtual void failed(const std::string& subject, const std::string& text, const std::string& fault) = 0;
    // A signal stopped the command on `port` where it stood.
    virtual void interrupted(const std::string& port) = 0;
    // One line of the command's result, for standard output.
    virtual void resultLine(const std::string& line) = 0;
    // One line of the frame log, shown as it is written (-v).
    virtual void frameLine(const std::string& line) = 0;
};

// One port's run on a terminal: results on `out`; messages, the frame log and a progress line that
// redraws itself in place on `err`.
class TerminalSink final : public CommandSink {
public:
    // The progress line is drawn only with `showProgress` (a terminal, no -v frames for it to
    // break into) and without `quiet`, which also drops the notes.
    TerminalSink(std::ostream& out, std::ostream& err, bool showProgress, bool quiet)
        : out_(out), err_(err), showProgress_(showProgress && !quiet), quiet_(quiet) {}

    void progress(const std::string& text) override;
    void clearProgress() override;
    void message(const std::string& subject, const std::string& text) override;
    void note(const std::string& subject, const std::string& text) override {
        if (!quiet_) message(subject, text);
    }
    void failed(const std::string& subject, const std::string& text, const std::string&) override {
        message(subject, text);
    }
    void interrupted(const std::string& port) override;
    void resultLine(const std::string& line) override { out_ << line << '\n'; }
    void frameLine(const std::string& line) override;

private:
    std::ostream& out_;
    std::ostream& err_;
    bool showProgress_;
    bool quiet_;
    std::size_t shown_ = 0;  // characters of the progress line now shown
};

// The interruption's word, which a table also shows.
extern const char* const kInterruptedWord;

}  // namespace kd215
