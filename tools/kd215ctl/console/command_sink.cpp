// The one form of kd215ctl's messages, and the terminal that shows one port's run.
#include "console/command_sink.h"

#include "records/printable_text.h"

namespace kd215 {

const char* const kInterruptedWord = "przerwano";

std::string oneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            line += text[i];
        } else if (i + 1 < text.size() && !line.empty()) {
            // "name :\nBłąd" reads "name: Błąd"; other breaks become spaces.
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, " :") == 0) line.erase(line.size() - 2, 1);
            if (line.back() != ' ') line += ' ';
        }
    }
    return line;
}

std::string messageLine(const std::string& subject, const std::string& text) {
    return "kd215ctl: " + oneLine(subject.empty() ? text : subject + ": " + text);
}

void TerminalSink::progress(const std::string& text) {
    if (!showProgress_) return;
    const std::size_t length = characterCount(text);
    err_ << '\r' << text;
    if (shown_ > length) err_ << std::string(shown_ - length, ' ') << '\r' << text;
    err_.flush();
    shown_ = length;
}

void TerminalSink::clearProgress() {
    if (!showProgress_ || shown_ == 0) return;
    err_ << '\r' << std::string(shown_, ' ') << '\r';
    err_.flush();
    shown_ = 0;
}

// An error clears the progress line first, so that the message is not mixed into it.
void TerminalSink::message(const std::string& subject, const std::string& text) {
    clearProgress();
    err_ << messageLine(subject, text) << '\n';
    err_.flush();
}

void TerminalSink::interrupted(const std::string& port) { message(port, kInterruptedWord); }

void TerminalSink::frameLine(const std::string& line) {
    err_ << line << '\n';
    err_.flush();
}

}  // namespace kd215
