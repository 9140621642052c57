// The editors as the menu opens them: modal dialogs by the names "SpecEdit", "ChnlEdit" and "Edycja",
// closed with the Esc key.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/text_win32.h"
#include "dialog_harness_win32.h"
#include "editors/editors_win32.h"

namespace kd215::wintest {
namespace {

// Waits on another thread for the modal editor of `uiThread`, notes its title, and presses Esc in
// it the way the keyboard does: a key-down posted to the control with the focus.
class EscPresser {
public:
    explicit EscPresser(DWORD uiThread)
        : worker_([this, uiThread] {
              for (int i = 0; i < 3000 && !pressed_; ++i) {
                  GUITHREADINFO info{};
                  info.cbSize = sizeof info;
                  if (GetGUIThreadInfo(uiThread, &info) && info.hwndActive && info.hwndFocus &&
                      IsWindowVisible(info.hwndActive)) {
                      wchar_t text[128] = {};
                      GetWindowTextW(info.hwndActive, text, 128);
                      title_ = narrow(text);
                      PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                      PostMessageW(info.hwndFocus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
                      pressed_ = true;
                  }
                  Sleep(10);
              }
          }) {}
    ~EscPresser() {
        if (worker_.joinable()) worker_.join();
    }
    // The title of the editor it closed; empty when none came up.
    std::string title() {
        if (worker_.joinable()) worker_.join();
        return title_;
    }

private:
    std::atomic<bool> pressed_{false};
    std::string title_;
    std::thread worker_;
};

TEST(EditorEntryPoints, EachEditorOpensByItsNameAndEscClosesIt) {
    EditorFixtureState fixture;
    fixture.state.image.common.switchOnTime = 44;
    {
        EscPresser esc(GetCurrentThreadId());
        OpenCommonSettingsEditor(nullptr, fixture.state);
        EXPECT_EQ(esc.title(), "Kd215 : ustawianie wspólnych parametrów");
    }
    {
        EscPresser esc(GetCurrentThreadId());
        OpenChannelEditor(nullptr, fixture.state);
        EXPECT_EQ(esc.title(), "Kd215 : ustawianie parametrów kanałów");
    }
    fixture.state.currentArea = ConfigArea::Program2;
    {
        EscPresser esc(GetCurrentThreadId());
        OpenSceneProgramEditor(nullptr, fixture.state);
        EXPECT_EQ(esc.title(), "Kd215 : Edycja programu 2-go");
    }
    EXPECT_EQ(fixture.state.image.common.switchOnTime, 44);
    EXPECT_EQ(fixture.ui.status[kStatusAreaPart], "\tEdycja");
    EXPECT_TRUE(takeBoxes().empty());
}

}  // namespace
}  // namespace kd215::wintest
