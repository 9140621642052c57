// A port's lines among several, gathered whole, and what it tells the board.
#include "commands/port_sink.h"

#include <algorithm>

#include "records/printable_text.h"

namespace kd215 {

void PortSink::say(const std::string& subject, const std::string& text, const std::string& fault) {
    const bool aboutPort = std::find(aliases_.begin(), aliases_.end(), subject) != aliases_.end();
    const std::string said = oneLine(subject.empty() || aboutPort ? text : subject + ": " + text);
    lines_.emplace_back(&err_, messageLine(tag_, said));
    reason_ = {said, fault};
    showDoing(said);
}

// A frame of -v is neither why the port failed nor where it stood: it joins the lines alone.
void PortSink::frameLine(const std::string& line) {
    lines_.emplace_back(&err_, messageLine(tag_, line));
    showDoing(line);
}

void PortSink::showDoing(const std::string& text) {
    const std::string shown = trimmed(text);
    if (board_ == nullptr || shown.empty()) return;
    std::lock_guard<std::mutex> hold(board_->lock);
    board_->ports[index_].doing = shown;
}

}  // namespace kd215
