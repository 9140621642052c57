// The scene and program editor "Edycja" driven under Wine: the three jobs, the entry number, the
// level and time bars, typing and leaving fields, the end step, and the refused commits.
#include <gtest/gtest.h>

#include <cstdio>

#include "dialog_harness_win32.h"
#include "editors/dialog_ids.h"
#include "editors/editors_win32.h"

namespace kd215::wintest {
namespace {

constexpr int kNumber = IDC_ENTRY_NUMBER;
constexpr int kRise = IDC_RISE_FIELD, kDuration = IDC_DURATION_FIELD;
constexpr int kRiseBar = IDC_RISE_BAR, kDurationBar = IDC_DURATION_BAR;
int levelField(int channel) { return 400 + channel; }  // channel 1..8
int levelBar(int channel) { return 200 + channel; }

class SceneProgramDialogTest : public ::testing::Test {
protected:
    EditorFixtureState fixture;
    ConfigImage& image = fixture.state.image;
    std::unique_ptr<DialogUnderTest> dialog;

    void open(ConfigArea area) {
        takeBoxes();
        fixture.state.currentArea = area;
        dialog = std::make_unique<DialogUnderTest>(L"EDYCJA", SceneProgramDialogProc, fixture.state);
        ASSERT_NE(dialog->hwnd(), nullptr);
    }
    void TearDown() override {
        dialog.reset();
        EXPECT_TRUE(takeBoxes().empty()) << "a message box was shown that the test did not expect";
    }
    void enter(int id, const std::string& text) {
        dialog->focus(id);
        dialog->type(id, text);
        dialog->focus(kNumber);
    }
    void loadEntry(int n) {
        dialog->type(kNumber, std::to_string(n));
        dialog->click(IDC_LOAD);
    }
    void commitEntry(int n) {
        dialog->type(kNumber, std::to_string(n));
        dialog->click(IDC_COMMIT);
    }
    void expectRefusedOn(int id) {
        EXPECT_EQ(dialog->focusedId(), id);
        EXPECT_EQ(dialog->selection(id), std::make_pair(0, 3));
    }
};

TEST_F(SceneProgramDialogTest, SceneJobOpensOnSceneOneWithoutTheProgramControls) {
    image.scenes[0].levels = {255, 128, 0, 51, 1, 2, 254, 127};
    image.scenes[0].riseTime = 321;
    image.programs[0].steps[0].duration = 55;
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    EXPECT_EQ(d.title(), "Kd215 : Edycja scen");
    EXPECT_EQ(d.text(IDC_LOAD), "Ładuj");
    EXPECT_EQ(d.text(IDC_LEVELS_GROUP), "Kanały");
    EXPECT_EQ(d.text(IDC_COMMIT), "Zatwierdź");
    EXPECT_EQ(d.text(IDC_END_STEP), "Scena kończąca");
    EXPECT_EQ(d.text(IDC_CLOSE), "Koniec");
    for (int id : {IDC_DURATION_BAR, IDC_DURATION_FIELD, IDC_DURATION_LABEL, IDC_END_STEP}) {
        EXPECT_FALSE(d.visible(id)) << id;
    }
    EXPECT_TRUE(d.visible(kRiseBar));
    EXPECT_EQ(fixture.ui.status[kStatusAreaPart], "\tEdycja");
    EXPECT_EQ(GetClassLongPtrW(d.hwnd(), GCLP_HBRBACKGROUND), 12);
    EXPECT_EQ(d.text(kNumber), "1");
    const int percents[] = {100, 50, 0, 20, 0, 0, 99, 49};
    for (int ch = 1; ch <= 8; ++ch) {
        EXPECT_EQ(d.text(levelField(ch)), std::to_string(percents[ch - 1])) << ch;
        EXPECT_EQ(d.thumb(levelBar(ch)), 100 - percents[ch - 1]) << ch;
        EXPECT_EQ(d.range(levelBar(ch)), std::make_pair(0, 100));
    }
    EXPECT_EQ(d.text(kRise), "321");
    EXPECT_EQ(d.thumb(kRiseBar), 321);
    EXPECT_EQ(d.range(kRiseBar), std::make_pair(0, 999));
    EXPECT_EQ(d.text(kDuration), "0") << "a scene has no duration";
    EXPECT_EQ(d.focusedId(), kNumber);
}

TEST_F(SceneProgramDialogTest, ProgramJobsShowDurationAndEndStep) {
    image.programs[1].steps[0].duration = 640;
    image.programs[1].endStep = 3;
    open(ConfigArea::Program1);
    EXPECT_EQ(dialog->title(), "Kd215 : Edycja programu 1-go");
    for (int id : {IDC_DURATION_BAR, IDC_DURATION_FIELD, IDC_DURATION_LABEL, IDC_END_STEP}) {
        EXPECT_TRUE(dialog->visible(id)) << id;
    }
    EXPECT_TRUE(dialog->checked(IDC_END_STEP)) << "the default end step is step 1";
    dialog.reset();

    open(ConfigArea::Program2);
    EXPECT_EQ(dialog->title(), "Kd215 : Edycja programu 2-go");
    EXPECT_EQ(dialog->text(kDuration), "640");
    EXPECT_EQ(dialog->thumb(kDurationBar), 640);
    EXPECT_EQ(dialog->range(kDurationBar), std::make_pair(0, 999));
    EXPECT_FALSE(dialog->checked(IDC_END_STEP));
    loadEntry(4);
    EXPECT_TRUE(dialog->checked(IDC_END_STEP));
}

TEST_F(SceneProgramDialogTest, AnotherAreaSetsNothingUp) {
    open(ConfigArea::Settings);
    EXPECT_EQ(dialog->title(), "");
    EXPECT_EQ(dialog->text(kNumber), "");
    EXPECT_EQ(dialog->text(IDC_LOAD), "");
    EXPECT_TRUE(fixture.ui.areaLabels.empty());
    dialog->click(IDC_LOAD);
    dialog->scroll(kRiseBar, SB_LINERIGHT);
    EXPECT_EQ(dialog->text(kRise), "");
}

TEST_F(SceneProgramDialogTest, NumberButtonsStopAtTheJobsLimits) {
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    for (int i = 0; i < 10; ++i) d.click(IDC_NEXT_NUMBER);
    EXPECT_EQ(d.text(kNumber), "8");
    d.type(kNumber, "20");
    d.click(IDC_NEXT_NUMBER);
    EXPECT_EQ(d.text(kNumber), "8");
    for (int i = 0; i < 10; ++i) d.click(IDC_PREVIOUS_NUMBER);
    EXPECT_EQ(d.text(kNumber), "1");
    d.type(kNumber, "");
    d.click(IDC_NEXT_NUMBER);
    EXPECT_EQ(d.text(kNumber), "1");
    d.type(kNumber, "");
    d.click(IDC_PREVIOUS_NUMBER);
    EXPECT_EQ(d.text(kNumber), "1");
    dialog.reset();

    open(ConfigArea::Program2);
    for (int i = 0; i < 20; ++i) dialog->click(IDC_NEXT_NUMBER);
    EXPECT_EQ(dialog->text(kNumber), "14");
    dialog->type(kNumber, "20");
    dialog->click(IDC_NEXT_NUMBER);
    EXPECT_EQ(dialog->text(kNumber), "14");
    dialog->click(IDC_PREVIOUS_NUMBER);
    EXPECT_EQ(dialog->text(kNumber), "13");
}

TEST_F(SceneProgramDialogTest, CommitWritesIntoTheEntryTheFieldShows) {
    image.scenes[2].levels = {10, 20, 30, 40, 50, 60, 70, 80};
    image.scenes[2].riseTime = 33;
    open(ConfigArea::Scenes);
    loadEntry(3);
    dialog->click(IDC_NEXT_NUMBER);
    EXPECT_EQ(dialog->text(kNumber), "4");
    dialog->click(IDC_COMMIT);
    // Loaded in percent and stored back: each level goes through both truncations.
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(image.scenes[3].levels[j], percentToLevel(levelToPercent(image.scenes[2].levels[j]))) << j;
    }
    EXPECT_EQ(image.scenes[3].riseTime, 33);
    EXPECT_EQ(image.scenes[2].levels[0], 10) << "scene 3 itself unchanged";
}

TEST_F(SceneProgramDialogTest, LevelsConvertBetweenPercentAndLevel) {
    image.scenes[1].levels[7] = 128;
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    const std::pair<const char*, int> stored[] = {{"100", 255}, {"50", 127}, {"1", 2}, {"20", 51}};
    const char* shownAgain[] = {"100", "49", "0", "20"};
    for (int i = 0; i < 4; ++i) {
        enter(levelField(1), stored[i].first);
        d.click(IDC_COMMIT);
        EXPECT_EQ(image.scenes[0].levels[0], stored[i].second);
        d.click(IDC_LOAD);
        EXPECT_EQ(d.text(levelField(1)), shownAgain[i]);
    }
    loadEntry(2);
    EXPECT_EQ(d.text(levelField(8)), "50");
}

TEST_F(SceneProgramDialogTest, EachScrollCodeOnALevelBar) {
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    const int ch = 5;
    struct Step {
        int code, thumb, value;
    };
    const Step steps[] = {
        {SB_THUMBTRACK, 1, 99},  {SB_LINEUP, 0, 100},   {SB_LINEUP, 0, 100},    {SB_LINEDOWN, 0, 99},
        {SB_THUMBPOSITION, 40, 60}, {SB_PAGEUP, 0, 75}, {SB_PAGEUP, 0, 100},   {SB_PAGEUP, 0, 100},
        {SB_THUMBTRACK, 75, 25}, {SB_PAGEDOWN, 0, 0},   {SB_PAGEDOWN, 0, 0},    {SB_LINEDOWN, 0, 0},
        {SB_THUMBTRACK, 0, 100}, {SB_THUMBTRACK, 100, 0}, {SB_ENDSCROLL, 0, 0}, {SB_TOP, 0, 0},
    };
    for (const Step& s : steps) {
        d.scroll(levelBar(ch), s.code, s.thumb);
        EXPECT_EQ(d.text(levelField(ch)), std::to_string(s.value)) << "code " << s.code;
        EXPECT_EQ(d.thumb(levelBar(ch)), 100 - s.value) << "code " << s.code;
    }
    EXPECT_EQ(d.text(levelField(4)), "0") << "its neighbours stay";
    d.scroll(levelBar(ch), SB_LINEUP);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.scenes[0].levels[4], 2);
}

TEST_F(SceneProgramDialogTest, EachScrollCodeOnATimeBar) {
    open(ConfigArea::Program1);
    DialogUnderTest& d = *dialog;
    struct Step {
        int code, thumb, value;
    };
    const Step steps[] = {
        {SB_THUMBTRACK, 600, 600}, {SB_PAGERIGHT, 0, 749}, {SB_PAGERIGHT, 0, 999}, {SB_PAGERIGHT, 0, 999},
        {SB_LINERIGHT, 0, 999},    {SB_LINELEFT, 0, 998},  {SB_THUMBPOSITION, 250, 250}, {SB_PAGELEFT, 0, 249},
        {SB_PAGELEFT, 0, 0},       {SB_PAGELEFT, 0, 0},    {SB_LINELEFT, 0, 0},    {SB_LINERIGHT, 0, 1},
        {SB_ENDSCROLL, 0, 1},      {SB_RIGHT, 0, 1},
    };
    for (int bar : {kRiseBar, kDurationBar}) {
        const int field = bar + 200;
        for (const Step& s : steps) {
            d.scroll(bar, s.code, s.thumb);
            EXPECT_EQ(d.text(field), std::to_string(s.value)) << "bar " << bar << " code " << s.code;
            EXPECT_EQ(d.thumb(bar), s.value) << "bar " << bar << " code " << s.code;
        }
    }
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].steps[0].riseTime, 1);
    EXPECT_EQ(image.programs[0].steps[0].duration, 1);
}

TEST_F(SceneProgramDialogTest, ScrollFromAnotherControlIsNotHandled) {
    open(ConfigArea::Scenes);
    const LPARAM field = reinterpret_cast<LPARAM>(dialog->item(levelField(1)));
    const LPARAM riseBar = reinterpret_cast<LPARAM>(dialog->item(kRiseBar));
    const LPARAM levelBar1 = reinterpret_cast<LPARAM>(dialog->item(levelBar(1)));
    EXPECT_EQ(dialog->procedure()(dialog->hwnd(), WM_VSCROLL, SB_LINEUP, field), FALSE);
    EXPECT_EQ(dialog->procedure()(dialog->hwnd(), WM_VSCROLL, SB_LINEUP, riseBar), FALSE);
    EXPECT_EQ(dialog->procedure()(dialog->hwnd(), WM_HSCROLL, SB_LINERIGHT, levelBar1), FALSE);
    EXPECT_EQ(dialog->procedure()(dialog->hwnd(), WM_VSCROLL, SB_LINEUP, levelBar1), TRUE);
    EXPECT_EQ(dialog->text(kRise), "0");
    EXPECT_EQ(dialog->text(levelField(1)), "1");
}

TEST_F(SceneProgramDialogTest, TypingMovesTheThumbAndLeavingMarksOutOfRangeText) {
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    d.focus(levelField(2));
    d.type(levelField(2), "30");
    EXPECT_EQ(d.thumb(levelBar(2)), 70);
    d.type(levelField(2), "150");
    EXPECT_EQ(d.thumb(levelBar(2)), 0) << "above the range: the thumb at the top";
    d.focus(levelField(3));
    EXPECT_EQ(d.text(levelField(2)), "???");
    d.type(levelField(3), "0x32");
    d.focus(kRise);
    EXPECT_EQ(d.text(levelField(3)), "0x32");
    EXPECT_EQ(d.thumb(levelBar(3)), 50);
    d.type(kRise, "abc");
    d.focus(kNumber);
    EXPECT_EQ(d.text(kRise), "???");
    d.click(IDC_COMMIT);
    expectRefusedOn(levelField(2));
    EXPECT_EQ(image.scenes[0].levels, (std::array<uint8_t, 8>{})) << "nothing stored";
}

TEST_F(SceneProgramDialogTest, OutOfRangeNumbersLeftByALineStepAreRefused) {
    open(ConfigArea::Program1);
    DialogUnderTest& d = *dialog;
    enter(levelField(6), "150");
    ASSERT_EQ(d.text(levelField(6)), "???");
    d.scroll(levelBar(6), SB_LINEDOWN);  // steps from the 150 typed last
    EXPECT_EQ(d.text(levelField(6)), "149");
    d.click(IDC_COMMIT);
    expectRefusedOn(levelField(6));
    EXPECT_EQ(image.programs[0].steps[0].levels[5], 0);

    enter(levelField(6), "100");
    enter(kDuration, "1500");
    d.scroll(kDurationBar, SB_LINELEFT);
    EXPECT_EQ(d.text(kDuration), "1499");
    d.click(IDC_COMMIT);
    expectRefusedOn(kDuration);
    EXPECT_EQ(image.programs[0].steps[0].levels[5], 0);

    d.scroll(kDurationBar, SB_THUMBTRACK, 999);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].steps[0].levels[5], 255);
    EXPECT_EQ(image.programs[0].steps[0].duration, 999);
}

TEST_F(SceneProgramDialogTest, TextThatIsNoDecimalNumberIsRefusedAtCommit) {
    open(ConfigArea::Scenes);
    enter(levelField(4), "12abc");
    EXPECT_EQ(dialog->text(levelField(4)), "12abc") << "the leave check takes it as 12";
    dialog->click(IDC_COMMIT);
    expectRefusedOn(levelField(4));
    enter(levelField(4), "12");
    dialog->click(IDC_COMMIT);
    EXPECT_EQ(image.scenes[0].levels[3], 30);
}

TEST_F(SceneProgramDialogTest, EndStepMarkingAndUnmarking) {
    open(ConfigArea::Program1);
    DialogUnderTest& d = *dialog;
    loadEntry(5);
    EXPECT_FALSE(d.checked(IDC_END_STEP));
    d.click(IDC_END_STEP);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].endStep, 4);
    loadEntry(5);
    EXPECT_TRUE(d.checked(IDC_END_STEP));
    loadEntry(6);
    EXPECT_FALSE(d.checked(IDC_END_STEP));
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].endStep, 4) << "a clear box on another step leaves the mark";
    loadEntry(5);
    d.click(IDC_END_STEP);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].endStep, kNoEndStep);
    loadEntry(14);
    d.click(IDC_END_STEP);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.programs[0].endStep, 13);
    EXPECT_EQ(image.programs[1].endStep, 0) << "program 2 has its own";
}

TEST_F(SceneProgramDialogTest, SceneCommitNeverStoresTheHiddenDuration) {
    image.programs[0].steps[1].duration = 444;
    open(ConfigArea::Scenes);
    loadEntry(2);
    for (int ch = 1; ch <= 8; ++ch) enter(levelField(ch), std::to_string(ch * 10));
    enter(kRise, "123");
    commitEntry(2);
    EXPECT_EQ(image.scenes[1].levels, (std::array<uint8_t, 8>{25, 51, 76, 102, 127, 153, 178, 204}));
    EXPECT_EQ(image.scenes[1].riseTime, 123);
    EXPECT_EQ(image.programs[0].steps[1].duration, 444);
    EXPECT_EQ(image.programs[0].steps[1].riseTime, 0);
}

TEST_F(SceneProgramDialogTest, AnEntryNumberOutsideTheJobIsRefusedWithAMessage) {
    image.scenes[0].riseTime = 7;
    open(ConfigArea::Scenes);
    DialogUnderTest& d = *dialog;
    enter(kRise, "8");
    for (const char* number : {"9", "0", "", "x1", "-2"}) {
        for (int button : {IDC_LOAD, IDC_COMMIT}) {
            d.type(kNumber, number);
            d.click(button);
            const std::vector<ShownBox> boxes = takeBoxes();
            ASSERT_EQ(boxes.size(), 1u) << number;
            EXPECT_EQ(boxes[0].text, "Nieprawidłowa wartośc !");
            EXPECT_EQ(boxes[0].caption, "Ostrzeżenie :");
            EXPECT_TRUE(boxes[0].errorIcon);
            EXPECT_EQ(d.focusedId(), kNumber);
            EXPECT_EQ(d.selection(kNumber), std::make_pair(0, static_cast<int>(d.text(kNumber).size())));
        }
    }
    EXPECT_EQ(d.text(kRise), "8") << "nothing loaded";
    EXPECT_EQ(image.scenes[0].riseTime, 7) << "nothing stored";
    dialog.reset();

    open(ConfigArea::Program2);
    loadEntry(14);
    EXPECT_TRUE(takeBoxes().empty());
    loadEntry(15);
    EXPECT_EQ(takeBoxes().size(), 1u);
}

TEST_F(SceneProgramDialogTest, TheClassBackgroundLeavesOtherDialogsAlone) {
    open(ConfigArea::Scenes);
    ASSERT_EQ(GetClassLongPtrW(dialog->hwnd(), GCLP_HBRBACKGROUND), 12);
    // Another dialog of the same class, opened while the value is set: painted in the face colour.
    EditorFixtureState other;
    DialogUnderTest channels(L"CHNLEDIT", ChannelDialogProc, other.state);
    RedrawWindow(channels.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(channels.hwnd());
    const COLORREF background = GetPixel(dc, 2, 2);  // client corner, outside every control
    ReleaseDC(channels.hwnd(), dc);
    std::printf("face %06lx, inactive border (colour 11) %06lx, channel dialog background %06lx\n",
                GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_INACTIVEBORDER), background);
    EXPECT_EQ(background, GetSysColor(COLOR_BTNFACE));
}

TEST_F(SceneProgramDialogTest, EnterIsIgnoredAndKoniecClosesKeepingTheStatusText) {
    open(ConfigArea::Program2);
    enter(kRise, "9");
    SendMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowVisible(dialog->hwnd()));
    EXPECT_EQ(image.programs[1].steps[0].riseTime, 0);
    dialog->click(IDC_CLOSE);
    EXPECT_FALSE(IsWindowVisible(dialog->hwnd()));
    EXPECT_EQ(image.programs[1].steps[0].riseTime, 0);
    EXPECT_EQ(fixture.ui.status[kStatusAreaPart], "\tEdycja");
}

}  // namespace
}  // namespace kd215::wintest
