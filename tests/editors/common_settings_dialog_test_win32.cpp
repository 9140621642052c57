// The common settings dialog "SpecEdit" driven under Wine: opening, the times' bars and fields,
// the buttons, and what "Zatwierdź" stores or refuses.
#include <gtest/gtest.h>

#include "dialog_harness_win32.h"
#include "editors/dialog_ids.h"
#include "editors/editors_win32.h"

namespace kd215::wintest {
namespace {

constexpr int kOn = IDC_SWITCH_ON_FIELD;
constexpr int kOff = IDC_SWITCH_OFF_FIELD;
constexpr int kOnBar = IDC_SWITCH_ON_BAR;
constexpr int kOffBar = IDC_SWITCH_OFF_BAR;

class CommonSettingsDialogTest : public ::testing::Test {
protected:
    EditorFixtureState fixture;
    ConfigImage& image = fixture.state.image;
    std::unique_ptr<DialogUnderTest> dialog;

    void open() {
        takeBoxes();
        dialog = std::make_unique<DialogUnderTest>(L"SPECEDIT", CommonSettingsDialogProc, fixture.state);
        ASSERT_NE(dialog->hwnd(), nullptr);
    }
    void TearDown() override {
        dialog.reset();
        EXPECT_TRUE(takeBoxes().empty()) << "this dialog shows no message boxes";
    }
};

TEST_F(CommonSettingsDialogTest, OpensWithTheImageAndItsCaptions) {
    image.channels[2].inputInverted = 1;  // from the controller
    image.channels[5].inputInverted = 255;
    image.common.operatingMode = 3;
    image.common.commonInputMode = 2;
    image.common.switchOnTime = 30;
    image.common.switchOffTime = 75;
    open();
    DialogUnderTest& d = *dialog;
    EXPECT_EQ(d.title(), "Kd215 : ustawianie wspólnych parametrów");
    EXPECT_EQ(d.text(IDC_INPUTS_GROUP), "Inwersja wejść");
    EXPECT_EQ(d.text(IDC_COMMON_INPUT_GROUP), "Wejście wspólne");
    EXPECT_EQ(d.text(150), "Normalne");
    EXPECT_EQ(d.text(151), "Inwersja");
    EXPECT_EQ(d.text(152), "Zawsze zał.");
    EXPECT_EQ(d.text(IDC_SWITCH_ON_LABEL), "Załączania");
    EXPECT_EQ(d.text(IDC_SWITCH_OFF_LABEL), "Wyłączania");
    const char* const modes[] = {"Ręczna 1-kan.", "Ręczna 2-kan.", "Automatyczna", "Półautomat.",
                                 "Sceny", "Program 1", "Program 2"};
    for (int m = 0; m < 7; ++m) EXPECT_EQ(d.text(130 + m), modes[m]);
    EXPECT_EQ(d.text(IDC_COMMIT), "Zatwierdź");
    EXPECT_EQ(d.text(IDC_CLOSE), "Koniec");
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(d.text(140 + n), "Wejście " + std::to_string(n + 1));
        EXPECT_EQ(d.checked(140 + n), n == 2 || n == 5) << n;
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(d.checked(150 + k), k == 2);
    for (int m = 0; m < 7; ++m) EXPECT_EQ(d.checked(130 + m), m == 3);
    EXPECT_EQ(d.text(kOn), "30");
    EXPECT_EQ(d.text(kOff), "75");
    EXPECT_EQ(d.range(kOnBar), std::make_pair(0, 99));
    EXPECT_EQ(d.range(kOffBar), std::make_pair(0, 99));
    EXPECT_EQ(d.thumb(kOnBar), 69);  // the value grows upwards
    EXPECT_EQ(d.thumb(kOffBar), 24);
    EXPECT_EQ(d.focusedId(), 140);
}

TEST_F(CommonSettingsDialogTest, OutOfRangeModesSelectNothingAndStoreSevenAndZero) {
    image.common.operatingMode = 9;
    image.common.commonInputMode = 3;
    image.channels[0].inputInverted = 1;
    open();
    for (int m = 0; m < 7; ++m) EXPECT_FALSE(dialog->checked(130 + m));
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(dialog->checked(150 + k));
    dialog->click(IDC_COMMIT);
    EXPECT_EQ(image.common.operatingMode, 7);
    EXPECT_EQ(image.common.commonInputMode, 0);
    EXPECT_EQ(image.channels[0].inputInverted, 255);
    EXPECT_EQ(image.common.switchOnTime, 30);
}

TEST_F(CommonSettingsDialogTest, CommitStoresTheControlsAndMayBeRepeated) {
    image.channels[4].reserved = 0x77;
    open();
    DialogUnderTest& d = *dialog;
    d.click(141);
    d.click(147);
    d.click(151);  // "Inwersja"
    EXPECT_TRUE(d.checked(151));
    EXPECT_FALSE(d.checked(150));
    d.click(135);  // "Program 1"
    EXPECT_FALSE(d.checked(130));
    d.focus(kOn);
    d.type(kOn, "12");
    d.focus(kOff);
    d.type(kOff, "0");
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.common.operatingMode, 5);
    EXPECT_EQ(image.common.commonInputMode, 1);
    EXPECT_EQ(image.common.switchOnTime, 12);
    EXPECT_EQ(image.common.switchOffTime, 0);
    for (int n = 0; n < 8; ++n) EXPECT_EQ(image.channels[n].inputInverted, n == 1 || n == 7 ? 255 : 0) << n;
    EXPECT_EQ(image.channels[4].reserved, 0x77);
    EXPECT_TRUE(d.visible(IDC_COMMIT)) << "the dialog stays open";

    d.click(152);  // "Zawsze zał."
    d.click(141);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.common.commonInputMode, 2);
    EXPECT_EQ(image.channels[1].inputInverted, 0);
}

TEST_F(CommonSettingsDialogTest, EachScrollCodeOnTheVerticalBars) {
    open();
    DialogUnderTest& d = *dialog;
    d.scroll(kOnBar, SB_LINEUP);
    EXPECT_EQ(d.text(kOn), "31");
    EXPECT_EQ(d.thumb(kOnBar), 68);
    d.scroll(kOnBar, SB_LINEDOWN);
    d.scroll(kOnBar, SB_LINEDOWN);
    EXPECT_EQ(d.text(kOn), "29");
    d.type(kOn, "30");
    d.scroll(kOnBar, SB_PAGEUP);
    EXPECT_EQ(d.text(kOn), "49");
    EXPECT_EQ(d.thumb(kOnBar), 50);
    d.type(kOn, "30");
    d.scroll(kOnBar, SB_PAGEDOWN);
    EXPECT_EQ(d.text(kOn), "24");
    d.scroll(kOnBar, SB_THUMBTRACK, 0);  // dragged to the top
    EXPECT_EQ(d.text(kOn), "99");
    EXPECT_EQ(d.thumb(kOnBar), 0);
    d.scroll(kOnBar, SB_PAGEUP);
    d.scroll(kOnBar, SB_LINEUP);
    EXPECT_EQ(d.text(kOn), "99");
    d.scroll(kOnBar, SB_THUMBPOSITION, 99);  // released at the bottom
    EXPECT_EQ(d.text(kOn), "0");
    EXPECT_EQ(d.thumb(kOnBar), 99);
    d.scroll(kOnBar, SB_PAGEDOWN);
    d.scroll(kOnBar, SB_LINEDOWN);
    EXPECT_EQ(d.text(kOn), "0");
    d.scroll(kOnBar, SB_ENDSCROLL);
    d.scroll(kOnBar, SB_BOTTOM);
    EXPECT_EQ(d.text(kOn), "0");
    EXPECT_EQ(d.text(kOff), "30") << "the other time is left alone";

    d.scroll(kOffBar, SB_THUMBTRACK, 30);
    EXPECT_EQ(d.text(kOff), "69");
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.common.switchOnTime, 0);
    EXPECT_EQ(image.common.switchOffTime, 69);
}

TEST_F(CommonSettingsDialogTest, ScrollFromAnotherControlIsNotHandled) {
    open();
    const LRESULT handled = dialog->procedure()(dialog->hwnd(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0),
                                                reinterpret_cast<LPARAM>(dialog->item(kOn)));
    EXPECT_EQ(handled, FALSE);
    EXPECT_EQ(dialog->text(kOn), "30");
}

TEST_F(CommonSettingsDialogTest, TypedNumbersFollowIntegerConstantRules) {
    open();
    DialogUnderTest& d = *dialog;
    const std::pair<const char*, int> cases[] = {{"12abc", 12}, {"030", 24}, {"0x1F", 31}, {"09", 0}};
    for (const auto& [typed, value] : cases) {
        d.focus(kOn);
        d.type(kOn, typed);
        EXPECT_EQ(d.thumb(kOnBar), 99 - value) << typed;
        d.focus(kOff);
        EXPECT_EQ(d.text(kOn), typed) << "an accepted text stays as typed";
        d.click(IDC_COMMIT);
        EXPECT_EQ(image.common.switchOnTime, value) << typed;
    }
}

TEST_F(CommonSettingsDialogTest, ATimeOutOfRangeIsMarkedAndRefused) {
    open();
    DialogUnderTest& d = *dialog;
    d.click(131);
    d.focus(kOn);
    d.type(kOn, "150");
    EXPECT_EQ(d.thumb(kOnBar), 0) << "a number above the range puts the thumb at the top";
    d.focus(kOff);
    EXPECT_EQ(d.text(kOn), "???");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kOn);
    EXPECT_EQ(d.selection(kOn), std::make_pair(0, 3));
    EXPECT_EQ(image.common.operatingMode, 0) << "nothing is stored";

    d.focus(kOff);
    d.type(kOff, "abc");
    d.focus(IDC_CLOSE);
    EXPECT_EQ(d.text(kOff), "???");
    d.focus(kOn);
    d.type(kOn, "5");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kOff);
    EXPECT_EQ(d.selection(kOff), std::make_pair(0, 3));
    EXPECT_EQ(image.common.switchOnTime, 30);
}

TEST_F(CommonSettingsDialogTest, ALineStepFromAMarkedNumberIsRefusedByTheRangeCheck) {
    open();
    DialogUnderTest& d = *dialog;
    d.focus(kOn);
    d.type(kOn, "150");
    d.focus(kOff);
    ASSERT_EQ(d.text(kOn), "???");
    d.scroll(kOnBar, SB_LINEDOWN);  // steps from the 150 typed last
    EXPECT_EQ(d.text(kOn), "149");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kOn);
    EXPECT_EQ(d.selection(kOn), std::make_pair(0, 3));
    EXPECT_EQ(image.common.switchOnTime, 30);
}

TEST_F(CommonSettingsDialogTest, KoniecClosesAndDropsWhatWasNotCommitted) {
    open();
    const ConfigImage before = image;
    dialog->click(136);
    dialog->click(140);
    dialog->scroll(kOnBar, SB_PAGEUP);
    dialog->click(IDC_CLOSE);
    EXPECT_FALSE(IsWindowVisible(dialog->hwnd()));
    EXPECT_EQ(image.common.operatingMode, before.common.operatingMode);
    EXPECT_EQ(image.common.switchOnTime, before.common.switchOnTime);
    EXPECT_EQ(image.channels[0].inputInverted, before.channels[0].inputInverted);
}

}  // namespace
}  // namespace kd215::wintest
