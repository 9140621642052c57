// The channel settings dialog "ChnlEdit" driven under Wine: opening, the channel number, the bars
// with the limit rule, typing and leaving fields, and what "Zatwierdź" stores or refuses.
#include <gtest/gtest.h>

#include "dialog_harness_win32.h"
#include "editors/dialog_ids.h"
#include "editors/editors_win32.h"

namespace kd215::wintest {
namespace {

constexpr int kNumber = IDC_CHANNEL_NUMBER;
constexpr int kRise = 401, kDuration = 402, kFall = 403, kUpper = 404, kLower = 405;
constexpr int kRiseBar = 209, kDurationBar = 210, kFallBar = 211, kUpperBar = 212, kLowerBar = 213;

class ChannelDialogTest : public ::testing::Test {
protected:
    EditorFixtureState fixture;
    ConfigImage& image = fixture.state.image;
    std::unique_ptr<DialogUnderTest> dialog;

    void open() {
        takeBoxes();
        dialog = std::make_unique<DialogUnderTest>(L"CHNLEDIT", ChannelDialogProc, fixture.state);
        ASSERT_NE(dialog->hwnd(), nullptr);
    }
    void TearDown() override {
        dialog.reset();
        EXPECT_TRUE(takeBoxes().empty()) << "a message box was shown that the test did not expect";
    }
    // Limits as both fields and both thumbs show them.
    void expectLimits(int upper, int lower) {
        EXPECT_EQ(dialog->text(kUpper), std::to_string(upper));
        EXPECT_EQ(dialog->text(kLower), std::to_string(lower));
        EXPECT_EQ(dialog->thumb(kUpperBar), upper);
        EXPECT_EQ(dialog->thumb(kLowerBar), lower);
    }
    // Types into a field and moves on, as a user does with the Tab key.
    void enter(int id, const std::string& text) {
        dialog->focus(id);
        dialog->type(id, text);
        dialog->focus(kNumber);
    }
    void expectOneBadNumberBox() {
        const std::vector<ShownBox> boxes = takeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Nieprawidłowa wartośc !");
        EXPECT_EQ(boxes[0].caption, "Ostrzeżenie :");
        EXPECT_TRUE(boxes[0].errorIcon);
        EXPECT_TRUE(boxes[0].ownedByDialog);
        EXPECT_EQ(dialog->focusedId(), kNumber);
        const int length = static_cast<int>(dialog->text(kNumber).size());
        EXPECT_EQ(dialog->selection(kNumber), std::make_pair(0, length)) << "the whole number is selected";
    }
};

TEST_F(ChannelDialogTest, OpensOnChannelOne) {
    ChannelSettings& c = image.channels[0];
    c.riseTime = 12;
    c.duration = 999;
    c.fallTime = 1000;  // from a file: shown as it is
    c.minLevel = 128;
    c.inputInverted = 1;
    open();
    DialogUnderTest& d = *dialog;
    EXPECT_EQ(d.title(), "Kd215 : ustawianie parametrów kanałów");
    EXPECT_EQ(d.text(IDC_LOAD), "Ładuj");
    EXPECT_EQ(d.text(IDC_CHANNEL_GROUP), "Kanał");
    EXPECT_EQ(d.text(IDC_COMMIT), "Zatwierdź");
    EXPECT_EQ(d.text(IDC_CHANNEL_NUMBER_LABEL), "Nr kanału");
    EXPECT_EQ(d.text(IDC_INPUT_INVERTED), "Inwersja wejścia");
    EXPECT_EQ(d.text(IDC_ALL_CHANNELS), "Wszystkie kanały tak samo");
    EXPECT_EQ(d.text(IDC_CLOSE), "Koniec");
    EXPECT_EQ(d.text(kNumber), "1");
    EXPECT_EQ(d.text(kRise), "12");
    EXPECT_EQ(d.text(kDuration), "999");
    EXPECT_EQ(d.text(kFall), "1000");
    expectLimits(39, 50);  // the default maxLevel 100 shows as 39 %
    EXPECT_EQ(d.thumb(kRiseBar), 12);
    EXPECT_EQ(d.thumb(kDurationBar), 999);
    EXPECT_EQ(d.thumb(kFallBar), 999) << "the bar keeps its thumb inside the range";
    for (int bar : {kRiseBar, kDurationBar, kFallBar}) EXPECT_EQ(d.range(bar), std::make_pair(0, 999));
    for (int bar : {kUpperBar, kLowerBar}) EXPECT_EQ(d.range(bar), std::make_pair(0, 100));
    EXPECT_TRUE(d.checked(IDC_INPUT_INVERTED));
    EXPECT_FALSE(d.checked(IDC_ALL_CHANNELS));
    EXPECT_EQ(d.focusedId(), kNumber);
}

TEST_F(ChannelDialogTest, AThreeDigitNumberFitsEachValueField) {
    open();
    for (int id = kRise; id <= kLower; ++id) {
        HWND field = dialog->item(id);
        RECT client;
        GetClientRect(field, &client);
        HDC dc = GetDC(field);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
        SIZE extent;
        GetTextExtentPoint32W(dc, L"999", 3, &extent);
        SelectObject(dc, old);
        ReleaseDC(field, dc);
        const LRESULT margins = SendMessageW(field, EM_GETMARGINS, 0, 0);
        EXPECT_LE(extent.cx + LOWORD(margins) + HIWORD(margins), client.right) << id;
    }
}

TEST_F(ChannelDialogTest, NumberButtonsStayInOneToEightAndDoNotLoad) {
    image.channels[1].riseTime = 222;
    open();
    DialogUnderTest& d = *dialog;
    d.click(IDC_NEXT_NUMBER);
    EXPECT_EQ(d.text(kNumber), "2");
    EXPECT_EQ(d.text(kRise), "0") << "the values stay until Ładuj";
    const std::pair<const char*, const char*> plus[] = {{"8", "8"}, {"12", "8"}, {"", "1"}, {"abc", "1"}, {"-5", "1"}};
    for (const auto& [shown, after] : plus) {
        d.type(kNumber, shown);
        d.click(IDC_NEXT_NUMBER);
        EXPECT_EQ(d.text(kNumber), after) << "+ from '" << shown << "'";
    }
    const std::pair<const char*, const char*> minus[] = {{"1", "1"}, {"0", "1"}, {"", "1"}, {"8", "7"}, {"20", "19"}};
    for (const auto& [shown, after] : minus) {
        d.type(kNumber, shown);
        d.click(IDC_PREVIOUS_NUMBER);
        EXPECT_EQ(d.text(kNumber), after) << "- from '" << shown << "'";
    }
    d.type(kNumber, "2");
    d.click(IDC_LOAD);
    EXPECT_EQ(d.text(kRise), "222");
}

TEST_F(ChannelDialogTest, CommitWritesIntoTheChannelTheFieldShows) {
    ChannelSettings& one = image.channels[0];
    one.riseTime = 5;
    one.duration = 6;
    one.fallTime = 7;
    one.maxLevel = 255;
    one.minLevel = 51;
    one.reserved = 0x42;
    image.channels[1].reserved = 0x99;
    const ChannelSettings before = one;
    open();
    dialog->click(IDC_NEXT_NUMBER);
    dialog->click(IDC_COMMIT);
    const ChannelSettings& two = image.channels[1];
    EXPECT_EQ(two.riseTime, 5);
    EXPECT_EQ(two.duration, 6);
    EXPECT_EQ(two.fallTime, 7);
    EXPECT_EQ(two.maxLevel, 255);
    EXPECT_EQ(two.minLevel, 51);
    EXPECT_EQ(two.inputInverted, 0);
    EXPECT_EQ(two.reserved, 0x99);
    EXPECT_EQ(one.riseTime, before.riseTime);
    EXPECT_EQ(one.maxLevel, before.maxLevel);
    EXPECT_EQ(image.channels[2].maxLevel, 100) << "other channels untouched";
}

TEST_F(ChannelDialogTest, LimitsConvertBetweenPercentAndLevel) {
    open();
    DialogUnderTest& d = *dialog;
    const std::pair<int, int> upperLimits[] = {{10, 25}, {50, 127}, {90, 229}, {100, 255}};
    const int shownAgain[] = {9, 49, 89, 100};
    for (int i = 0; i < 4; ++i) {
        enter(kLower, "0");
        enter(kUpper, std::to_string(upperLimits[i].first));
        d.click(IDC_COMMIT);
        EXPECT_EQ(image.channels[0].maxLevel, upperLimits[i].second);
        d.click(IDC_LOAD);
        EXPECT_EQ(d.text(kUpper), std::to_string(shownAgain[i]));
    }
    // Loaded at 9 %, an upper limit the rule does not allow: refused on the upper field.
    const uint8_t maxLevel = image.channels[0].maxLevel = 25;
    d.click(IDC_LOAD);
    ASSERT_EQ(d.text(kUpper), "9");
    d.click(IDC_INPUT_INVERTED);
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kUpper);
    EXPECT_EQ(d.selection(kUpper), std::make_pair(0, 1));  // the first three characters of "9"
    EXPECT_EQ(image.channels[0].maxLevel, maxLevel);
    EXPECT_EQ(image.channels[0].inputInverted, 0);
}

TEST_F(ChannelDialogTest, EachScrollCodeOnATimeBar) {
    image.channels[0].duration = 600;
    open();
    DialogUnderTest& d = *dialog;
    struct Step {
        int code, thumb;
        const char* shown;
    };
    const Step steps[] = {
        {SB_PAGERIGHT, 0, "749"}, {SB_PAGERIGHT, 0, "999"}, {SB_PAGERIGHT, 0, "999"}, {SB_LINERIGHT, 0, "999"},
        {SB_LINELEFT, 0, "998"},  {SB_THUMBTRACK, 250, "250"}, {SB_PAGELEFT, 0, "249"}, {SB_PAGELEFT, 0, "0"},
        {SB_PAGELEFT, 0, "0"},    {SB_LINELEFT, 0, "0"},     {SB_LINERIGHT, 0, "1"},  {SB_THUMBPOSITION, 999, "999"},
        {SB_ENDSCROLL, 0, "999"}, {SB_LEFT, 0, "999"},       {SB_RIGHT, 0, "999"},
    };
    for (const Step& s : steps) {
        d.scroll(kDurationBar, s.code, s.thumb);
        EXPECT_EQ(d.text(kDuration), s.shown) << "code " << s.code;
        EXPECT_EQ(d.thumb(kDurationBar), std::atoi(s.shown)) << "code " << s.code;
    }
    EXPECT_EQ(d.text(kRise), "0");
    EXPECT_EQ(d.text(kFall), "0");
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.channels[0].duration, 999);
}

TEST_F(ChannelDialogTest, LimitBarsKeepTheGap) {
    open();
    DialogUnderTest& d = *dialog;
    enter(kUpper, "10");
    d.scroll(kUpperBar, SB_LINELEFT);
    expectLimits(10, 0);

    d.scroll(kLowerBar, SB_THUMBTRACK, 95);
    expectLimits(100, 90);

    // Only a loaded channel can hold limits 5 apart: the rule is not applied at load.
    image.channels[0].maxLevel = 103;
    image.channels[0].minLevel = 90;
    d.click(IDC_LOAD);
    expectLimits(40, 35);
    d.scroll(kUpperBar, SB_LINELEFT);
    expectLimits(39, 29);

    enter(kUpper, "20");
    enter(kLower, "5");
    d.scroll(kUpperBar, SB_PAGELEFT);
    expectLimits(10, 0);

    d.scroll(kUpperBar, SB_THUMBPOSITION, 3);  // dragged below 10: put back to 10
    expectLimits(10, 0);
    d.scroll(kLowerBar, SB_LINERIGHT);
    expectLimits(11, 1);
    d.scroll(kLowerBar, SB_PAGERIGHT);
    expectLimits(35, 25);
    d.scroll(kUpperBar, SB_PAGERIGHT);
    expectLimits(50, 25);
    d.scroll(kLowerBar, SB_PAGELEFT);
    expectLimits(50, 0);
    d.scroll(kUpperBar, SB_LINERIGHT);
    expectLimits(51, 0);
    d.scroll(kUpperBar, SB_ENDSCROLL);
    expectLimits(51, 0);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.channels[0].maxLevel, 130);
    EXPECT_EQ(image.channels[0].minLevel, 0);
}

TEST_F(ChannelDialogTest, ScrollFromAnotherControlIsNotHandled) {
    open();
    const LRESULT handled = dialog->procedure()(dialog->hwnd(), WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0),
                                                reinterpret_cast<LPARAM>(dialog->item(kRise)));
    EXPECT_EQ(handled, FALSE);
    EXPECT_EQ(dialog->text(kRise), "0");
}

TEST_F(ChannelDialogTest, AnUpperLimitTypedBelowTheGapIsRaisedOnLeaving) {
    open();
    DialogUnderTest& d = *dialog;
    enter(kLower, "30");
    d.focus(kUpper);
    d.type(kUpper, "5");
    EXPECT_EQ(d.thumb(kUpperBar), 5) << "while typing no rule";
    EXPECT_EQ(d.text(kLower), "30");
    d.focus(kRise);
    expectLimits(10, 0);
    d.focus(kLower);
    d.type(kLower, "95");
    d.focus(kRise);
    expectLimits(100, 90);
}

TEST_F(ChannelDialogTest, TypingATimeMovesTheThumbAndLeavingChecksTheRange) {
    open();
    DialogUnderTest& d = *dialog;
    d.focus(kRise);
    d.type(kRise, "1500");
    EXPECT_EQ(d.thumb(kRiseBar), 999) << "at the right end while typing";
    d.type(kRise, "-3");
    EXPECT_EQ(d.thumb(kRiseBar), 0);
    d.type(kRise, "1500");
    d.focus(kDuration);
    EXPECT_EQ(d.text(kRise), "???");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kRise);
    EXPECT_EQ(d.selection(kRise), std::make_pair(0, 3));
    EXPECT_EQ(image.channels[0].riseTime, 0);

    const std::pair<const char*, int> accepted[] = {{"0x3E7", 999}, {"010", 8}, {"12abc", 12}};
    for (const auto& [typed, value] : accepted) {
        d.focus(kFall);
        d.type(kFall, typed);
        d.focus(kRise);
        d.type(kRise, "1");
        d.focus(kNumber);
        EXPECT_EQ(d.text(kFall), typed) << "the text stays as typed";
        d.click(IDC_COMMIT);
        EXPECT_EQ(image.channels[0].fallTime, value) << typed;
    }
    d.focus(kDuration);
    d.type(kDuration, "x");
    d.focus(kNumber);
    EXPECT_EQ(d.text(kDuration), "???");
}

TEST_F(ChannelDialogTest, ALineStepAfterTheMarkWritesTheNumberBackAndTheCommitRefusesIt) {
    open();
    DialogUnderTest& d = *dialog;
    enter(kFall, "1500");
    ASSERT_EQ(d.text(kFall), "???");
    d.scroll(kFallBar, SB_LINELEFT);
    EXPECT_EQ(d.text(kFall), "1499");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kFall);
    EXPECT_EQ(d.selection(kFall), std::make_pair(0, 3));
    EXPECT_EQ(image.channels[0].fallTime, 0);
}

TEST_F(ChannelDialogTest, AllChannelsTheSame) {
    open();
    DialogUnderTest& d = *dialog;
    d.type(kNumber, "3");
    enter(kRise, "11");
    enter(kDuration, "22");
    enter(kFall, "33");
    enter(kUpper, "80");
    enter(kLower, "20");
    d.click(IDC_INPUT_INVERTED);
    d.click(IDC_ALL_CHANNELS);
    d.click(IDC_COMMIT);
    for (const ChannelSettings& c : image.channels) {
        EXPECT_EQ(c.riseTime, 11);
        EXPECT_EQ(c.duration, 22);
        EXPECT_EQ(c.fallTime, 33);
        EXPECT_EQ(c.maxLevel, 204);
        EXPECT_EQ(c.minLevel, 51);
        EXPECT_EQ(c.inputInverted, 255);
    }
    EXPECT_TRUE(d.checked(IDC_ALL_CHANNELS)) << "the dialog stays as it was";
    d.click(IDC_LOAD);
    EXPECT_FALSE(d.checked(IDC_ALL_CHANNELS));
    d.click(IDC_INPUT_INVERTED);
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.channels[2].inputInverted, 0);
    EXPECT_EQ(image.channels[3].inputInverted, 255);
}

TEST_F(ChannelDialogTest, AChannelNumberOutsideOneToEightIsRefusedWithAMessage) {
    image.channels[0].riseTime = 77;
    open();
    DialogUnderTest& d = *dialog;
    const ConfigImage before = image;
    for (const char* number : {"9", "0", "", "abc", "-1", "+2"}) {
        d.type(kNumber, number);
        d.click(IDC_LOAD);
        expectOneBadNumberBox();
        EXPECT_EQ(d.text(kRise), "77") << "nothing loaded for '" << number << "'";
        d.click(IDC_COMMIT);
        expectOneBadNumberBox();
    }
    for (int n = 0; n < 8; ++n) EXPECT_EQ(image.channels[n].riseTime, before.channels[n].riseTime);
}

TEST_F(ChannelDialogTest, RefusedCommitsInTheOrderOfTheChecks) {
    open();
    DialogUnderTest& d = *dialog;
    const ConfigImage before = image;
    enter(kFall, "1234");
    enter(kDuration, "abc");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kDuration) << "the first marked field in 401..405";
    enter(kDuration, "5");
    d.click(IDC_COMMIT);
    EXPECT_EQ(d.focusedId(), kFall);
    enter(kFall, "5");
    enter(kUpper, "60");
    enter(kLower, "20");
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.channels[0].maxLevel, 153);
    EXPECT_EQ(before.channels[0].maxLevel, 100);
}

TEST_F(ChannelDialogTest, ClickingZatwierdzLeavesTheFieldFirst) {
    open();
    DialogUnderTest& d = *dialog;
    d.focus(kRise);
    d.type(kRise, "1500");
    d.click(IDC_COMMIT);  // the button takes the focus: the field is checked before the commit
    EXPECT_EQ(d.text(kRise), "???");
    EXPECT_EQ(d.focusedId(), kRise);
    EXPECT_EQ(image.channels[0].riseTime, 0);
    d.type(kRise, "0x20");
    d.click(IDC_COMMIT);
    EXPECT_EQ(image.channels[0].riseTime, 32);
}

TEST_F(ChannelDialogTest, EnterIsIgnoredAndKoniecClosesDroppingWhatWasNotCommitted) {
    open();
    SendMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowVisible(dialog->hwnd()));
    enter(kRise, "500");
    dialog->click(IDC_CLOSE);
    EXPECT_FALSE(IsWindowVisible(dialog->hwnd()));
    EXPECT_EQ(image.channels[0].riseTime, 0);
}

}  // namespace
}  // namespace kd215::wintest
