// Test support: a user interface that records what the program shows and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/program_state.h"

namespace kd215::fakes {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class RecordingUi : public UserInterface {
public:
    // Answers given in order; when they run out: Yes for Yes/No, Cancel for Retry/Cancel, Ok.
    std::deque<UserAnswer> answers;
    std::vector<ShownMessage> messages;
    std::map<int, std::string> status;
    std::vector<std::string> areaLabels;  // every text put into part 1, in order
    bool repeatEnabled = false;
    bool stopEnabled = false;
    std::map<int, bool> portChecked;
    // Runs while a message is open, before it is answered: what the user or the system does then.
    std::function<void(const ShownMessage&)> whileShown;

    UserAnswer showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                           MessageButtons buttons) override {
        messages.push_back({text, caption, icon, buttons});
        if (whileShown) whileShown(messages.back());
        if (!answers.empty()) {
            const UserAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        switch (buttons) {
            case MessageButtons::YesNo: return UserAnswer::Yes;
            case MessageButtons::RetryCancel: return UserAnswer::Cancel;
            default: return UserAnswer::Ok;
        }
    }
    void setStatusText(int part, const std::string& text) override {
        status[part] = text;
        if (part == kStatusAreaPart) areaLabels.push_back(text);
    }
    void setRepeatEnabled(bool enabled) override { repeatEnabled = enabled; }
    void setStopEnabled(bool enabled) override { stopEnabled = enabled; }
    void setPortChecked(int portIndex, bool checked) override { portChecked[portIndex] = checked; }
    void setPortItems(const std::vector<PortInfo>&) override {}
    void setProgress(int) override {}
    void requestRepaint() override {}
};

}  // namespace kd215::fakes
