// Entry of the editor dialog tests under Wine; with --show it opens one editor modally, as the menu
// does, with sample values, for a screenshot.
//
// Usage: kd215-editor-tests.exe [gtest options]
//        kd215-editor-tests.exe --show SpecEdit|ChnlEdit|Scenes|Program1|Program2 [HOLD_MS]
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "dialog_harness_win32.h"
#include "editors/dialog_ids.h"
#include "editors/editors_win32.h"

namespace {

using kd215::ConfigArea;

// Values that fill every field and tick a few boxes, so that a screenshot shows them.
void fillSample(kd215::ConfigImage& image) {
    image.scenes[0].levels = {255, 204, 153, 102, 51, 25, 0, 128};
    image.scenes[0].riseTime = 120;
    image.programs[0].steps[0].levels = {0, 51, 102, 153, 204, 255, 128, 64};
    image.programs[0].steps[0].riseTime = 250;
    image.programs[0].steps[0].duration = 600;
    kd215::ChannelSettings& channel = image.channels[0];
    channel.riseTime = 10;
    channel.duration = 200;
    channel.fallTime = 30;
    channel.maxLevel = 229;
    channel.minLevel = 25;
    channel.inputInverted = 1;
    image.channels[3].inputInverted = 255;
    image.common.operatingMode = 3;
    image.common.commonInputMode = 2;
    image.common.switchOnTime = 30;
    image.common.switchOffTime = 75;
}

BOOL CALLBACK closeEditor(HWND window, LPARAM) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    return TRUE;
}

BOOL CALLBACK noteVisible(HWND window, LPARAM found) {
    if (IsWindowVisible(window)) *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

int showEditor(const std::string& which, DWORD holdMs) {
    kd215::wintest::EditorFixtureState fixture;
    fillSample(fixture.state.image);
    const DWORD thread = GetCurrentThreadId();
    // Closes the editor, as "Koniec" would, once it has been on screen for the hold time.
    std::thread closer([thread, holdMs] {
        bool shown = false;
        for (int i = 0; i < 3000 && !shown; ++i) {
            Sleep(10);
            EnumThreadWindows(thread, noteVisible, reinterpret_cast<LPARAM>(&shown));
        }
        Sleep(holdMs);
        EnumThreadWindows(thread, closeEditor, 0);
    });
    if (which == "SpecEdit") {
        kd215::OpenCommonSettingsEditor(nullptr, fixture.state);
    } else if (which == "ChnlEdit") {
        kd215::OpenChannelEditor(nullptr, fixture.state);
    } else {
        fixture.state.currentArea = which == "Scenes"     ? ConfigArea::Scenes
                                    : which == "Program1" ? ConfigArea::Program1
                                                          : ConfigArea::Program2;
        kd215::OpenSceneProgramEditor(nullptr, fixture.state);
    }
    closer.join();
    std::printf("closed %s\n", which.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--show") {
        return showEditor(argv[2], argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 5000);
    }
    ::testing::InitGoogleTest(&argc, argv);
    kd215::wintest::startBoxAnswerer();
    return RUN_ALL_TESTS();
}
