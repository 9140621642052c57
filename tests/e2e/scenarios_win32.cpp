// End-to-end scenarios: Kd215.exe under Wine, driven from another process only as a user could drive it,
// against kd215-sim as COM2 between two silent lines. What is checked is what a user or the controller
// sees: status texts, messages, the editors' fields, the frames on the lines, the controller's memory
// and the files on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "e2e_driver_win32.h"
#include "editors/dialog_ids.h"

namespace kd215 {
namespace {

const char* const kLoadTitle = "Wybierz plik z danymi :";
const char* const kSaveTitle = "Wybierz plik do zapisu :";
const char* const kScenesEditor = "Kd215 : Edycja scen";
const char* const kProgram1Editor = "Kd215 : Edycja programu 1-go";
const char* const kProgram2Editor = "Kd215 : Edycja programu 2-go";
const char* const kChannelEditor = "Kd215 : ustawianie parametrów kanałów";
const char* const kCommonEditor = "Kd215 : ustawianie wspólnych parametrów";
const char* const kNotFound =
    "Nie znalazłem sterownika Kd215 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.";
const char* const kSettingsRead = "12 46 04 00 44 60";
const char* const kScenesRead = "12 46 50 00 50 08";
const char* const kProgram2Read = "12 46 4A 01 AA B3";

// Area commands of the "Wybór" popup.
constexpr int kScenesCommand = 118;
constexpr int kProgram1Command = 104;
constexpr int kProgram2Command = 117;
constexpr int kEverythingCommand = 112;
// The other commands a user gives here.
constexpr int kEditCommonCommand = 116;
constexpr int kEditChannelsCommand = 102;
constexpr int kEditScenesCommand = 114;
constexpr int kEditProgram1Command = 115;
constexpr int kEditProgram2Command = 110;
constexpr int kExitCommand = 106;
constexpr int kRepeatCommand = 107;
constexpr int kRestartCommand = 113;
constexpr int kAutoCommand = 200;
constexpr int kCom2Command = 202;  // the second port item: the controller's port

std::string describeDialogs(const Kd215Process& program) {
    std::string text;
    for (const DialogWindow& dialog : dialogs(program)) text += "[" + dialog.caption + "] " + dialog.text + "\n";
    return text.empty() ? "no dialog" : text;
}

std::string percentOf(uint8_t level) { return std::to_string(level * 100 / 255); }

// The ports of the "&Wybór portu" popup in menu order, and which of them is checked.
struct PortMenu {
    std::vector<std::string> names;
    std::vector<std::string> checked;
};

PortMenu portMenu(Kd215Process& program) {
    PortMenu menu;
    for (const MenuItem& item : menuItems(program)) {
        if (item.path != "1" || item.position == 0) continue;
        menu.names.push_back(item.caption);
        if (item.state & MF_CHECKED) menu.checked.push_back(item.caption);
    }
    return menu;
}

// What a memory image of the controller looks like after the program has read it and written it
// back: a program's end step keeps its low four bits, and its last byte is always 0xFF.
std::vector<uint8_t> asWrittenBack(std::vector<uint8_t> memory) {
    for (std::size_t program : {kProgram1Address, kProgram2Address}) {
        memory[program + 168] &= 0x0F;
        memory[program + 169] = 0xFF;
    }
    return memory;
}

// Copies the four areas of `areas` over `memory`.
std::vector<uint8_t> withAreasOf(std::vector<uint8_t> memory, const std::vector<uint8_t>& areas) {
    const std::pair<std::size_t, std::size_t> blocks[] = {
        {kSettingsAddress, 68}, {kScenesAddress, 80}, {kProgram1Address, 170}, {kProgram2Address, 170}};
    for (const auto& block : blocks) {
        std::copy(areas.begin() + static_cast<std::ptrdiff_t>(block.first),
                  areas.begin() + static_cast<std::ptrdiff_t>(block.first + block.second),
                  memory.begin() + static_cast<std::ptrdiff_t>(block.first));
    }
    return memory;
}

class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simControl("clear\nplug")) << "the simulator does not take control commands";
        startMark_ = simFrames().size();
        mark_ = startMark_;
    }

    // Starts the program and waits until it has read the controller's firmware version.
    void start() {
        std::string failure;
        ASSERT_TRUE(startProgram(program_, failure)) << failure;
        ASSERT_TRUE(waitReady(program_)) << "status: [" << statusText(program_, 0) << "] ["
                                          << statusText(program_, 2) << "]\n" << describeDialogs(program_);
        mark_ = simFrames().size();
    }

    std::vector<std::string> requests() const { return simRequestsSince(mark_); }
    bool waitRequestsAndIdle(std::size_t count, DWORD timeoutMs = 15000) {
        return waitFor([&] { return requests().size() >= count; }, timeoutMs) && waitIdle(program_);
    }
    // Reads, writes or verifies everything and waits until the four exchanges are over.
    void everything(int actionPosition, std::size_t requestsAfter) {
        chooseArea(program_, actionPosition, kEverythingCommand);
        ASSERT_TRUE(waitRequestsAndIdle(requestsAfter)) << requests().size() << " requests\n" << describeDialogs(program_);
        ASSERT_EQ(requests().size(), requestsAfter);
    }
    // Opens an editor from the "&Edycja" menu.
    HWND openEditor(int commandId, const char* title) {
        command(program_, commandId);
        HWND editor = nullptr;
        EXPECT_TRUE(waitEditor(program_, title, editor)) << title << "\n" << describeDialogs(program_);
        return editor;
    }
    // Waits for a message box with this caption and gives its text.
    DialogWindow box(const std::string& caption, DWORD timeoutMs = 10000) {
        DialogWindow found;
        EXPECT_TRUE(waitDialog(program_, found, caption, timeoutMs)) << caption << "\n" << describeDialogs(program_);
        return found;
    }

    Kd215Process program_;
    std::size_t startMark_ = 0;
    std::size_t mark_ = 0;
};

using StartUp = Scenario;
using Editors = Scenario;
using Verify = Scenario;
using Files = Scenario;
using Faults = Scenario;
using Transfers = Scenario;

// ---- start-up and ports ---------------------------------------------------------------------

TEST_F(StartUp, FindsTheControllerOnTheSecondOfThreePortsAndNeverOpensTheThird) {
    const std::size_t com1Mark = lineEvents(silentLineLog(1)).size();
    const std::size_t com3Mark = lineEvents(silentLineLog(3)).size();
    start();

    const PortMenu ports = portMenu(program_);
    EXPECT_EQ(ports.names, (std::vector<std::string>{"COM1", "COM2", "COM3"}))
        << "only the test's ports: the machine's own serial devices must not be offered";
    EXPECT_EQ(ports.checked, std::vector<std::string>{"COM2"});

    EXPECT_EQ(receivedSince(silentLineLog(1), com1Mark), std::vector<std::string>{"1B 03 E2"});
    EXPECT_EQ(simRequestsSince(startMark_), (std::vector<std::string>{"1B 03 E2", "12 03 EB"}));
    EXPECT_FALSE(openedSince(silentLineLog(3), com3Mark)) << "the probe stops at the port that answered";

    EXPECT_EQ(statusText(program_, 0), "\tFW : 1.05");
    EXPECT_EQ(statusText(program_, 1), "\tWersja");
    EXPECT_EQ(statusText(program_, 2), "\tGotowe");
    EXPECT_TRUE(screenshot("start-controller-on-com2"));
}

TEST_F(StartUp, WithoutAControllerItSaysSoAndIdlesThenAutoFindsItOncePluggedIn) {
    ASSERT_TRUE(simControl("unplug"));
    const std::size_t com1Mark = lineEvents(silentLineLog(1)).size();
    const std::size_t com3Mark = lineEvents(silentLineLog(3)).size();
    std::string failure;
    ASSERT_TRUE(startProgram(program_, failure)) << failure;

    DialogWindow notFound = box("Mamy problem :", 15000);
    ASSERT_NE(notFound.window, nullptr);
    EXPECT_EQ(notFound.text, kNotFound);
    EXPECT_TRUE(hasButton(notFound, IDOK));
    EXPECT_EQ(boxIcon(program_, notFound.window), "warning");
    EXPECT_EQ(GetWindow(notFound.window, GW_OWNER), program_.main);
    RECT window{};
    GetWindowRect(program_.main, &window);
    EXPECT_TRUE(IsWindowVisible(program_.main) && window.left == 0 && window.top == 0 &&
                window.right == 800 && window.bottom == 600)
        << "the main window is up at (0, 0), 800 x 600, before the box";
    EXPECT_TRUE(screenshot("no-controller"));
    // Every port was asked once.
    EXPECT_EQ(receivedSince(silentLineLog(1), com1Mark), std::vector<std::string>{"1B 03 E2"});
    EXPECT_EQ(simRequestsSince(startMark_), std::vector<std::string>{"1B 03 E2"});
    EXPECT_EQ(receivedSince(silentLineLog(3), com3Mark), std::vector<std::string>{"1B 03 E2"});
    ASSERT_TRUE(answer(notFound, IDOK));

    EXPECT_TRUE(waitFor([&] { return statusText(program_, 2) == "\tGotowe"; }))
        << "idle after the box, yet part 2 shows [" << statusText(program_, 2) << "]";
    EXPECT_TRUE(screenshot("no-controller-answered"));
    EXPECT_EQ(statusText(program_, 0), "\tFW : N/A");
    EXPECT_TRUE(portMenu(program_).checked.empty());
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);

    // Still unplugged: "&Auto" finds nothing again.
    command(program_, kAutoCommand);
    DialogWindow again = box("Mamy problem :", 15000);
    EXPECT_EQ(again.text, kNotFound);
    ASSERT_TRUE(answer(again, IDOK));

    ASSERT_TRUE(simControl("plug"));
    const std::size_t controllerMark = simFrames().size();
    const std::size_t com3AfterMark = lineEvents(silentLineLog(3)).size();
    command(program_, kAutoCommand);
    ASSERT_TRUE(waitReady(program_, 15000)) << describeDialogs(program_);
    EXPECT_EQ(simRequestsSince(controllerMark), (std::vector<std::string>{"1B 03 E2", "12 03 EB"}));
    EXPECT_FALSE(openedSince(silentLineLog(3), com3AfterMark));
    EXPECT_EQ(portMenu(program_).checked, std::vector<std::string>{"COM2"});
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

// ---- the editors ----------------------------------------------------------------------------

// The fields of an entry of the scene and program editor against the controller's bytes.
void expectEntryShown(HWND editor, const std::vector<uint8_t>& memory, std::size_t entryAddress, bool programStep) {
    for (int channel = 0; channel < 8; ++channel) {
        EXPECT_EQ(controlText(editor, IDC_FIRST_LEVEL_FIELD + channel), percentOf(memory[entryAddress + channel]))
            << "channel " << channel + 1 << " at " << entryAddress;
    }
    EXPECT_EQ(controlText(editor, IDC_RISE_FIELD), std::to_string(memoryWord(memory, entryAddress + 8)));
    if (programStep) {
        EXPECT_EQ(controlText(editor, IDC_DURATION_FIELD), std::to_string(memoryWord(memory, entryAddress + 10)));
    }
}

void expectChannelShown(HWND editor, const std::vector<uint8_t>& memory, int channel) {
    const std::size_t s = kSettingsAddress;
    EXPECT_EQ(controlText(editor, 401), std::to_string(memoryWord(memory, s + 20 + 2 * channel))) << channel + 1;
    EXPECT_EQ(controlText(editor, 402), std::to_string(memoryWord(memory, s + 36 + 2 * channel))) << channel + 1;
    EXPECT_EQ(controlText(editor, 403), std::to_string(memoryWord(memory, s + 52 + 2 * channel))) << channel + 1;
    EXPECT_EQ(controlText(editor, 404), percentOf(memory[s + 12 + channel])) << "upper limit of " << channel + 1;
    EXPECT_EQ(controlText(editor, 405), percentOf(memory[s + 4 + channel])) << "lower limit of " << channel + 1;
    EXPECT_EQ(buttonChecked(editor, IDC_INPUT_INVERTED), ((memory[s] >> channel) & 1) != 0) << channel + 1;
    EXPECT_FALSE(buttonChecked(editor, IDC_ALL_CHANNELS));
}

TEST_F(Editors, ReadingEverythingShowsTheControllersValuesInTheEditors) {
    std::vector<uint8_t> controller = seededBytes(101, kControllerMemorySize);
    controller[kSettingsAddress + 1] = 0x25;       // input 9 always on, mode "Program 1"
    controller[kProgram1Address + 168] = 0xFD;     // program 1 ends at step 14
    controller[kProgram2Address + 168] = 0x36;     // program 2 ends at step 7
    ASSERT_TRUE(setSimMemory(controller));
    start();
    everything(kReadControllerItem, 4);

    HWND scenes = openEditor(kEditScenesCommand, kScenesEditor);
    ASSERT_NE(scenes, nullptr);
    EXPECT_EQ(controlText(scenes, IDC_ENTRY_NUMBER), "1");
    expectEntryShown(scenes, controller, kScenesAddress, false);
    for (int hidden : {IDC_DURATION_FIELD, IDC_DURATION_BAR, IDC_DURATION_LABEL, IDC_END_STEP}) {
        EXPECT_FALSE(controlVisible(scenes, hidden)) << hidden << " belongs to program steps";
    }
    ASSERT_TRUE(typeInto(program_, scenes, IDC_ENTRY_NUMBER, "8"));
    ASSERT_TRUE(clickButton(scenes, IDC_LOAD));
    expectEntryShown(scenes, controller, kScenesAddress + 70, false);
    EXPECT_TRUE(screenshot("editor-scene-8-read"));
    ASSERT_TRUE(closeEditor(scenes));

    HWND program1 = openEditor(kEditProgram1Command, kProgram1Editor);
    ASSERT_NE(program1, nullptr);
    expectEntryShown(program1, controller, kProgram1Address, true);
    EXPECT_FALSE(buttonChecked(program1, IDC_END_STEP));
    ASSERT_TRUE(typeInto(program_, program1, IDC_ENTRY_NUMBER, "14"));
    ASSERT_TRUE(clickButton(program1, IDC_LOAD));
    expectEntryShown(program1, controller, kProgram1Address + 13 * 12, true);
    EXPECT_TRUE(buttonChecked(program1, IDC_END_STEP)) << "step 14 ends program 1";
    ASSERT_TRUE(closeEditor(program1));

    HWND program2 = openEditor(kEditProgram2Command, kProgram2Editor);
    ASSERT_NE(program2, nullptr);
    ASSERT_TRUE(typeInto(program_, program2, IDC_ENTRY_NUMBER, "7"));
    ASSERT_TRUE(clickButton(program2, IDC_LOAD));
    expectEntryShown(program2, controller, kProgram2Address + 6 * 12, true);
    EXPECT_TRUE(buttonChecked(program2, IDC_END_STEP)) << "step 7 ends program 2";
    ASSERT_TRUE(closeEditor(program2));

    HWND channels = openEditor(kEditChannelsCommand, kChannelEditor);
    ASSERT_NE(channels, nullptr);
    expectChannelShown(channels, controller, 0);
    ASSERT_TRUE(typeInto(program_, channels, IDC_CHANNEL_NUMBER, "8"));
    ASSERT_TRUE(clickButton(channels, IDC_LOAD));
    expectChannelShown(channels, controller, 7);
    ASSERT_TRUE(closeEditor(channels));

    HWND common = openEditor(kEditCommonCommand, kCommonEditor);
    ASSERT_NE(common, nullptr);
    for (int input = 0; input < 8; ++input) {
        EXPECT_EQ(buttonChecked(common, IDC_FIRST_INPUT_INVERTED + input), ((controller[kSettingsAddress] >> input) & 1) != 0)
            << "input " << input + 1;
    }
    for (int mode = 0; mode < 3; ++mode) EXPECT_EQ(buttonChecked(common, IDC_FIRST_COMMON_INPUT + mode), mode == 2);
    for (int mode = 0; mode < 7; ++mode) EXPECT_EQ(buttonChecked(common, IDC_FIRST_MODE + mode), mode == 5);
    EXPECT_EQ(controlText(common, IDC_SWITCH_ON_FIELD), std::to_string(controller[kSettingsAddress + 2]));
    EXPECT_EQ(controlText(common, IDC_SWITCH_OFF_FIELD), std::to_string(controller[kSettingsAddress + 3]));
    EXPECT_TRUE(screenshot("editor-common-read"));
    ASSERT_TRUE(closeEditor(common));
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

TEST_F(Editors, EditedValuesAreWrittenToTheControllerAtTheirAddresses) {
    std::vector<uint8_t> controller = seededBytes(102, kControllerMemorySize);
    controller[kSettingsAddress] = 0xA5;          // inputs 1, 3, 6 and 8 inverted
    controller[kSettingsAddress + 1] = 0x13;      // input 9 inverted, mode "Półautomat."
    controller[kProgram1Address + 168] = 0x02;    // program 1 ends at step 3
    ASSERT_TRUE(setSimMemory(controller));
    start();
    everything(kReadControllerItem, 4);
    std::vector<uint8_t> expected = asWrittenBack(controller);

    // Scene 3, reached with "+" twice.
    HWND scenes = openEditor(kEditScenesCommand, kScenesEditor);
    ASSERT_NE(scenes, nullptr);
    ASSERT_TRUE(clickButton(scenes, IDC_NEXT_NUMBER));
    ASSERT_TRUE(clickButton(scenes, IDC_NEXT_NUMBER));
    EXPECT_EQ(controlText(scenes, IDC_ENTRY_NUMBER), "3");
    ASSERT_TRUE(clickButton(scenes, IDC_LOAD));
    const char* const sceneLevels[] = {"100", "50", "1", "20", "0", "75", "33", "99"};
    const uint8_t sceneBytes[] = {255, 127, 2, 51, 0, 191, 84, 252};
    for (int channel = 0; channel < 8; ++channel) {
        ASSERT_TRUE(typeInto(program_, scenes, IDC_FIRST_LEVEL_FIELD + channel, sceneLevels[channel]));
        expected[kScenesAddress + 20 + channel] = sceneBytes[channel];
    }
    ASSERT_TRUE(typeInto(program_, scenes, IDC_RISE_FIELD, "321"));
    setMemoryWord(expected, kScenesAddress + 28, 321);
    ASSERT_TRUE(clickButton(scenes, IDC_COMMIT));
    EXPECT_TRUE(screenshot("editor-scene-3-edited"));
    ASSERT_TRUE(closeEditor(scenes));

    // Program 1, step 5, made the end step.
    HWND program1 = openEditor(kEditProgram1Command, kProgram1Editor);
    ASSERT_NE(program1, nullptr);
    ASSERT_TRUE(typeInto(program_, program1, IDC_ENTRY_NUMBER, "5"));
    ASSERT_TRUE(clickButton(program1, IDC_LOAD));
    EXPECT_FALSE(buttonChecked(program1, IDC_END_STEP));
    const char* const stepLevels[] = {"10", "20", "30", "40", "60", "70", "80", "90"};
    const uint8_t stepBytes[] = {25, 51, 76, 102, 153, 178, 204, 229};
    const std::size_t step5 = kProgram1Address + 4 * 12;
    for (int channel = 0; channel < 8; ++channel) {
        ASSERT_TRUE(typeInto(program_, program1, IDC_FIRST_LEVEL_FIELD + channel, stepLevels[channel]));
        expected[step5 + channel] = stepBytes[channel];
    }
    ASSERT_TRUE(typeInto(program_, program1, IDC_RISE_FIELD, "12"));
    ASSERT_TRUE(typeInto(program_, program1, IDC_DURATION_FIELD, "999"));
    setMemoryWord(expected, step5 + 8, 12);
    setMemoryWord(expected, step5 + 10, 999);
    ASSERT_TRUE(clickButton(program1, IDC_END_STEP));
    EXPECT_TRUE(buttonChecked(program1, IDC_END_STEP));
    expected[kProgram1Address + 168] = 4;
    ASSERT_TRUE(clickButton(program1, IDC_COMMIT));
    EXPECT_TRUE(screenshot("editor-program-1-step-5-edited"));
    ASSERT_TRUE(closeEditor(program1));

    // Channel 4: times, limits and its input. A lower limit of 75 under an upper one of 80 pushes the
    // upper limit up to 85 as the field is left.
    HWND channels = openEditor(kEditChannelsCommand, kChannelEditor);
    ASSERT_NE(channels, nullptr);
    ASSERT_TRUE(typeInto(program_, channels, IDC_CHANNEL_NUMBER, "4"));
    ASSERT_TRUE(clickButton(channels, IDC_LOAD));
    ASSERT_TRUE(typeInto(program_, channels, 401, "12"));
    ASSERT_TRUE(typeInto(program_, channels, 402, "345"));
    ASSERT_TRUE(typeInto(program_, channels, 403, "999"));
    ASSERT_TRUE(typeInto(program_, channels, 404, "80"));
    ASSERT_TRUE(typeInto(program_, channels, 405, "75"));
    ASSERT_TRUE(clickInto(program_, channels, 401));
    EXPECT_EQ(controlText(channels, 404), "85");
    EXPECT_EQ(controlText(channels, 405), "75");
    EXPECT_FALSE(buttonChecked(channels, IDC_INPUT_INVERTED));
    ASSERT_TRUE(clickButton(channels, IDC_INPUT_INVERTED));
    ASSERT_TRUE(clickButton(channels, IDC_COMMIT));
    EXPECT_TRUE(screenshot("editor-channel-4-edited"));
    ASSERT_TRUE(closeEditor(channels));
    setMemoryWord(expected, kSettingsAddress + 20 + 6, 12);
    setMemoryWord(expected, kSettingsAddress + 36 + 6, 345);
    setMemoryWord(expected, kSettingsAddress + 52 + 6, 999);
    expected[kSettingsAddress + 12 + 3] = 216;  // 85 %
    expected[kSettingsAddress + 4 + 3] = 191;   // 75 %

    // The common settings: inputs 2 on and 8 off (4 is on from the channel editor), input 9 always
    // on, the times, mode "Program 2".
    HWND common = openEditor(kEditCommonCommand, kCommonEditor);
    ASSERT_NE(common, nullptr);
    EXPECT_TRUE(buttonChecked(common, IDC_FIRST_INPUT_INVERTED + 3)) << "the channel editor's inversion of input 4";
    ASSERT_TRUE(clickButton(common, IDC_FIRST_INPUT_INVERTED + 1));
    ASSERT_TRUE(clickButton(common, IDC_FIRST_INPUT_INVERTED + 7));
    ASSERT_TRUE(clickButton(common, IDC_FIRST_COMMON_INPUT + 2));
    ASSERT_TRUE(clickButton(common, IDC_FIRST_MODE + 6));
    ASSERT_TRUE(typeInto(program_, common, IDC_SWITCH_ON_FIELD, "12"));
    ASSERT_TRUE(typeInto(program_, common, IDC_SWITCH_OFF_FIELD, "87"));
    ASSERT_TRUE(clickButton(common, IDC_COMMIT));
    EXPECT_TRUE(screenshot("editor-common-edited"));
    ASSERT_TRUE(closeEditor(common));
    expected[kSettingsAddress] = 0x2F;
    expected[kSettingsAddress + 1] = 0x26;
    expected[kSettingsAddress + 2] = 12;
    expected[kSettingsAddress + 3] = 87;

    // Written to a controller that holds something else: the areas are the edited image, the rest
    // of its memory stays.
    const std::vector<uint8_t> other = seededBytes(103, kControllerMemorySize);
    ASSERT_TRUE(setSimMemory(other));
    everything(kWriteControllerItem, 8);
    const std::vector<uint8_t> written = simMemory();
    EXPECT_TRUE(written == withAreasOf(other, expected)) << memoryDifferences(written, withAreasOf(other, expected));
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

// ---- verification ---------------------------------------------------------------------------

std::string prompt(const std::string& heading, unsigned first, unsigned second) {
    return heading + "\n ( " + std::to_string(first) + " <> " + std::to_string(second) +
           " )\nKontynuować sprawdzanie ?";
}

TEST_F(Verify, PromptsComeInTableOrderWithTheirTextsYesGoesOnAndNoStops) {
    std::vector<uint8_t> pc = seededBytes(104, kControllerMemorySize);
    const std::size_t s = kSettingsAddress;
    pc[s] = 0x02;
    pc[s + 1] = 0x12;
    pc[s + 2] = 30;
    pc[s + 3] = 7;
    pc[s + 4] = 0;
    pc[s + 12 + 2] = 200;
    setMemoryWord(pc, s + 52 + 14, 1000);
    pc[kScenesAddress + 14] = 128;
    setMemoryWord(pc, kScenesAddress + 18, 300);
    pc[kScenesAddress + 77] = 0;
    pc[kProgram1Address] = 10;
    setMemoryWord(pc, kProgram1Address + 13 * 12 + 10, 999);
    pc[kProgram1Address + 168] = 0x04;
    pc[kProgram1Address + 169] = 0xFF;
    setMemoryWord(pc, kProgram2Address + 12 + 8, 5);
    pc[kProgram2Address + 24] = 1;

    std::vector<uint8_t> controller = pc;
    controller[s] = 0x0B;
    controller[s + 1] = 0x25;
    controller[s + 2] = 45;
    controller[s + 3] = 70;
    controller[s + 4] = 5;
    controller[s + 12 + 2] = 100;
    setMemoryWord(controller, s + 52 + 14, 65535);
    controller[kScenesAddress + 14] = 127;
    setMemoryWord(controller, kScenesAddress + 18, 301);
    controller[kScenesAddress + 77] = 255;
    controller[kProgram1Address] = 11;
    setMemoryWord(controller, kProgram1Address + 13 * 12 + 10, 0);
    controller[kProgram1Address + 168] = 0xF3;
    controller[kProgram1Address + 169] = 0x00;  // never compared
    setMemoryWord(controller, kProgram2Address + 12 + 8, 6);
    controller[kProgram2Address + 24] = 2;      // after the No: never shown

    ASSERT_TRUE(setSimMemory(pc));
    start();
    everything(kReadControllerItem, 4);
    ASSERT_TRUE(setSimMemory(controller));

    // Settings show the controller's value first, the other areas the PC's.
    const std::vector<std::string> expected = {
        "Błąd weryfikacji polaryzacji wejść\n maska błędu : 9 \nKontynuować sprawdzanie ?",
        prompt("Błąd weryfikacji polaryzacji wejścia 9 :", 2, 1),
        prompt("Błąd weryfikacji trybu pracy :", 5, 2),
        prompt("Błąd weryfikacji czasu załączania :", 45, 30),
        prompt("Błąd weryfikacji czasu wyłączania :", 70, 7),
        prompt("Błąd weryfikacji minimum : kanał 1", 5, 0),
        prompt("Błąd weryfikacji maximum : kanał 3", 100, 200),
        prompt("Błąd weryfikacji czasu opadania : kanał 8", 65535, 1000),
        prompt("Błąd weryfikacji : scena 2 kanał 5", 128, 127),
        prompt("Błąd weryfikacji czasu narastania : scena 2", 300, 301),
        prompt("Błąd weryfikacji : scena 8 kanał 8", 0, 255),
        prompt("Błąd weryfikacji : scena 1 kanał 1", 10, 11),
        prompt("Błąd weryfikacji czasu trwania : scena 14", 999, 0),
        prompt("Błąd weryfikacji długości programu 1", 4, 3),
        prompt("Błąd weryfikacji czasu narastania : scena 2", 5, 6),
    };
    chooseArea(program_, kVerifyItem, kEverythingCommand);
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        DialogWindow difference = box("Niepowodzenie");
        ASSERT_NE(difference.window, nullptr) << "after " << shown.size() << " prompts";
        shown.push_back(difference.text);
        EXPECT_TRUE(hasButton(difference, IDYES) && hasButton(difference, IDNO)) << difference.text;
        if (i == 0) {
            EXPECT_EQ(boxIcon(program_, difference.window), "warning");
            EXPECT_TRUE(screenshot("verify-first-difference"));
        }
        // Yes to all but the last, which is program 2's first difference.
        ASSERT_TRUE(answer(difference, i + 1 < expected.size() ? IDYES : IDNO));
    }
    EXPECT_EQ(shown, expected);
    ASSERT_TRUE(waitIdle(program_));
    EXPECT_TRUE(noDialogFor(program_, 500)) << "a No shows nothing more: " << describeDialogs(program_);
    const std::vector<std::string> sent = requests();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(sent[4], kSettingsRead);
    EXPECT_EQ(sent[5], kScenesRead);
    EXPECT_EQ(sent[7], kProgram2Read);

    // No to the first prompt ends the chain at the settings.
    chooseArea(program_, kVerifyItem, kEverythingCommand);
    DialogWindow first = box("Niepowodzenie");
    EXPECT_EQ(first.text, expected[0]);
    ASSERT_TRUE(answer(first, IDNO));
    ASSERT_TRUE(waitIdle(program_));
    EXPECT_TRUE(noDialogFor(program_, 500)) << describeDialogs(program_);
    EXPECT_EQ(requests().size(), 9u);
    EXPECT_EQ(requests().back(), kSettingsRead);
}

// ---- files ----------------------------------------------------------------------------------

// Answers the file dialogs of a chained "&Wszystko": the first gets `firstPath`, the next three keep
// the name they offer.
void answerFileChain(const Kd215Process& program, const char* title, const std::wstring& firstPath) {
    for (int area = 0; area < 4; ++area) {
        DialogWindow dialog;
        ASSERT_TRUE(waitFor([&] {
            for (const DialogWindow& candidate : dialogs(program)) {
                if (candidate.caption == title) {
                    dialog = candidate;
                    return true;
                }
            }
            return false;
        })) << "file dialog " << area + 1 << ": " << describeDialogs(program);
        ASSERT_TRUE(acceptFileConfirming(program, dialog, area == 0 ? firstPath : L"")) << describeDialogs(program);
    }
}

TEST_F(Files, EverythingSavedLoadsIntoAFreshProgramAsFarAsTheFilesHoldIt) {
    const std::vector<uint8_t> controller = seededBytes(105, kControllerMemorySize);
    ASSERT_TRUE(setSimMemory(controller));
    start();
    everything(kReadControllerItem, 4);

    const std::wstring folder = workPath("wszystko");
    CreateDirectoryW(folder.c_str(), nullptr);
    chooseArea(program_, kWriteFileItem, kEverythingCommand);
    answerFileChain(program_, kSaveTitle, folder + L"\\konfiguracja.ust");
    ASSERT_TRUE(waitIdle(program_));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);

    // Leaving: No keeps the program, Yes ends it.
    command(program_, kExitCommand);
    DialogWindow question = box("Ostrzeżenie");
    EXPECT_EQ(question.text,
              "UWAGA !!!\nWszystkie zmiany nie zapisane do pliku\nlub do sterownika zostaną utracone !!!\n"
              "Czy na pewno chcesz zakończyć ?");
    ASSERT_TRUE(answer(question, IDNO));
    EXPECT_EQ(waitExit(program_, 500), static_cast<DWORD>(STILL_ACTIVE));
    command(program_, kExitCommand);
    question = box("Ostrzeżenie");
    ASSERT_TRUE(answer(question, IDYES));
    EXPECT_EQ(waitExit(program_), 0u);

    Kd215Process fresh;
    std::string failure;
    ASSERT_TRUE(startProgram(fresh, failure)) << failure;
    ASSERT_TRUE(waitReady(fresh)) << describeDialogs(fresh);
    chooseArea(fresh, kReadFileItem, kEverythingCommand);
    answerFileChain(fresh, kLoadTitle, folder + L"\\konfiguracja.ust");
    ASSERT_TRUE(waitIdle(fresh));
    EXPECT_TRUE(noDialogFor(fresh, 300)) << describeDialogs(fresh);

    // What the fresh program holds, written out: the settings and scenes whole; of the programs,
    // steps 1 to 12 from the files and steps 13 and 14 and the end step as a fresh program has them.
    std::vector<uint8_t> expected = asWrittenBack(controller);
    for (std::size_t program : {kProgram1Address, kProgram2Address}) {
        std::fill(expected.begin() + static_cast<std::ptrdiff_t>(program + 144),
                  expected.begin() + static_cast<std::ptrdiff_t>(program + 169), 0);
    }
    const std::vector<uint8_t> other = seededBytes(106, kControllerMemorySize);
    ASSERT_TRUE(setSimMemory(other));
    const std::size_t before = simFrames().size();
    chooseArea(fresh, kWriteControllerItem, kEverythingCommand);
    ASSERT_TRUE(waitFor([&] { return simRequestsSince(before).size() >= 4; }, 15000) && waitIdle(fresh))
        << describeDialogs(fresh);
    const std::vector<uint8_t> written = simMemory();
    EXPECT_TRUE(written == withAreasOf(other, expected)) << memoryDifferences(written, withAreasOf(other, expected));
}

// ---- faults of the controller ---------------------------------------------------------------

struct ReadFault {
    const char* kind;
    const char* message;  // nullptr: the detail depends on the bytes
};

TEST_F(Faults, EachFaultHasItsMessageRetryRecoversAndCancelLeavesTheImage) {
    const std::vector<uint8_t> first = seededBytes(107, kControllerMemorySize);
    const std::vector<uint8_t> second = seededBytes(108, kControllerMemorySize);
    ASSERT_TRUE(setSimMemory(first));
    start();
    everything(kReadControllerItem, 4);
    ASSERT_TRUE(setSimMemory(second));

    // Reading the scenes (an 86-byte reply to the request for address 80), each fault once, cancelled.
    const ReadFault readFaults[] = {
        {"nak", "Błąd komunikacji : NAK"},
        {"bad-checksum", "Błąd komunikacji : suma kontrolna = 255"},
        {"bad-address", "Błąd komunikacji : adres zwrotny 81"},
        {"short-reply", "Błąd komunikacji : brak danych : 43"},
        {"wrong-length", "Błąd komunikacji : brak danych : 86"},
        {"garbage", nullptr},
    };
    std::size_t sent = 4;
    for (const ReadFault& fault : readFaults) {
        ASSERT_TRUE(simControl(std::string("fault ") + fault.kind));
        chooseArea(program_, kReadControllerItem, kScenesCommand);
        DialogWindow failed = box("Niepowodzenie");
        ASSERT_NE(failed.window, nullptr) << fault.kind;
        if (fault.message != nullptr) {
            EXPECT_EQ(failed.text, fault.message) << fault.kind;
        } else {
            EXPECT_EQ(failed.text.rfind("Błąd komunikacji : ", 0), 0u) << fault.kind << ": " << failed.text;
        }
        EXPECT_TRUE(hasButton(failed, IDRETRY) && hasButton(failed, IDCANCEL)) << fault.kind;
        if (std::string(fault.kind) == "bad-checksum") {
            EXPECT_EQ(boxIcon(program_, failed.window), "warning");
            EXPECT_TRUE(screenshot("fault-bad-checksum"));
        }
        ASSERT_TRUE(answer(failed, IDCANCEL)) << fault.kind;
        ASSERT_TRUE(waitIdle(program_)) << fault.kind;
        EXPECT_EQ(requests().size(), ++sent) << fault.kind;
    }
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);

    // The cancelled reads left the scenes as first read: verified against that memory, nothing differs.
    ASSERT_TRUE(setSimMemory(first));
    chooseArea(program_, kVerifyItem, kScenesCommand);
    ASSERT_TRUE(waitRequestsAndIdle(++sent));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);

    // A NAK once, then Retry: the same request again, and the reply is taken.
    ASSERT_TRUE(setSimMemory(second));
    ASSERT_TRUE(simControl("fault nak"));
    chooseArea(program_, kReadControllerItem, kScenesCommand);
    DialogWindow transient = box("Niepowodzenie");
    EXPECT_EQ(transient.text, "Błąd komunikacji : NAK");
    ASSERT_TRUE(answer(transient, IDRETRY));
    ASSERT_TRUE(waitRequestsAndIdle(sent + 2));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    std::vector<std::string> all = requests();
    ASSERT_EQ(all.size(), sent + 2);
    EXPECT_EQ(all[sent], kScenesRead);
    EXPECT_EQ(all[sent + 1], kScenesRead);
    sent += 2;
    chooseArea(program_, kVerifyItem, kScenesCommand);
    ASSERT_TRUE(waitRequestsAndIdle(++sent));
    EXPECT_TRUE(noDialogFor(program_, 300)) << "the retried read stored the second scenes: " << describeDialogs(program_);

    // Writing program 1: a write that is not acknowledged is a NAK, whatever came back.
    for (const char* kind : {"silent", "nak", "bad-checksum", "short-reply", "garbage"}) {
        ASSERT_TRUE(simControl(std::string("fault ") + kind));
        chooseArea(program_, kWriteControllerItem, kProgram1Command);
        DialogWindow refused = box("Niepowodzenie");
        EXPECT_EQ(refused.text, "Błąd komunikacji : NAK") << kind;
        EXPECT_TRUE(hasButton(refused, IDRETRY) && hasButton(refused, IDCANCEL)) << kind;
        ASSERT_TRUE(answer(refused, IDCANCEL)) << kind;
        ASSERT_TRUE(waitIdle(program_)) << kind;
        EXPECT_EQ(requests().size(), ++sent) << kind;
    }

    // A lost write, then Retry: program 2 arrives whole, the rest of the memory is as it was.
    ASSERT_TRUE(setSimMemory(second));
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kWriteControllerItem, kProgram2Command);
    DialogWindow lost = box("Niepowodzenie");
    EXPECT_EQ(lost.text, "Błąd komunikacji : NAK");
    ASSERT_TRUE(answer(lost, IDRETRY));
    ASSERT_TRUE(waitRequestsAndIdle(sent + 2));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    std::vector<uint8_t> expected = second;
    const std::vector<uint8_t> program2 = asWrittenBack(first);
    std::copy(program2.begin() + kProgram2Address, program2.begin() + kProgram2Address + kProgramLength,
              expected.begin() + kProgram2Address);
    const std::vector<uint8_t> written = simMemory();
    EXPECT_TRUE(written == expected) << memoryDifferences(written, expected);
    sent += 2;

    // A read that nothing answers: choosing the controller's port asks for the version, which ends
    // empty after 9 x 120 ms; Retry asks again and gets it.
    ASSERT_TRUE(simControl("fault silent"));
    command(program_, kCom2Command);
    DialogWindow silence = box("Niepowodzenie");
    EXPECT_EQ(silence.text, "Błąd komunikacji : brak danych : 0");
    EXPECT_TRUE(hasButton(silence, IDRETRY) && hasButton(silence, IDCANCEL));
    ASSERT_TRUE(answer(silence, IDRETRY));
    ASSERT_TRUE(waitRequestsAndIdle(sent + 2));
    EXPECT_EQ(statusText(program_, 0), "\tFW : 1.05");
    all = requests();
    ASSERT_EQ(all.size(), sent + 2);
    EXPECT_EQ(all[sent], "12 03 EB");
    EXPECT_EQ(all[sent + 1], "12 03 EB");
    EXPECT_EQ(portMenu(program_).checked, std::vector<std::string>{"COM2"});
}

// ---- transfers ------------------------------------------------------------------------------

TEST_F(Transfers, EscAndRestartEndAChainAndRepeatRunsTheLastAreaAlone) {
    ASSERT_TRUE(setSimMemory(seededBytes(109, kControllerMemorySize)));
    start();

    // The settings reply never comes; Esc stops the chain there.
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kReadControllerItem, kEverythingCommand);
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    EXPECT_TRUE(waitFor([&] { return statusText(program_, 2) == "\tOdczyt z Kd215"; }));
    EXPECT_EQ(statusText(program_, 1), "\tUstaw.");
    pressEscape(program_);
    ASSERT_TRUE(waitIdle(program_, 3000)) << "Esc did not stop the chain";
    EXPECT_TRUE(noDialogFor(program_, 800)) << describeDialogs(program_);
    EXPECT_EQ(requests(), std::vector<std::string>{kSettingsRead});

    // "&Powtórz" reads the settings again, and only them.
    command(program_, kRepeatCommand);
    ASSERT_TRUE(waitRequestsAndIdle(2));
    EXPECT_TRUE(noDialogFor(program_, 500)) << describeDialogs(program_);
    EXPECT_EQ(requests(), (std::vector<std::string>{kSettingsRead, kSettingsRead}));

    // A restart while the chain waits for its first reply replaces it; nothing follows.
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kReadControllerItem, kEverythingCommand);
    ASSERT_TRUE(waitFor([&] { return requests().size() == 3; }));
    highlight(program_, kRestartCommand);
    command(program_, kRestartCommand);
    ASSERT_TRUE(waitRequestsAndIdle(4, 3000));
    EXPECT_TRUE(noDialogFor(program_, 800)) << describeDialogs(program_);
    EXPECT_EQ(requests().size(), 4u);
    EXPECT_EQ(requests().back(), "0F 03 EE");

    // After a whole chain, "&Powtórz" repeats its last area, program 2.
    everything(kReadControllerItem, 8);
    command(program_, kRepeatCommand);
    ASSERT_TRUE(waitRequestsAndIdle(9));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    EXPECT_EQ(requests().size(), 9u);
    EXPECT_EQ(requests().back(), kProgram2Read);
}

}  // namespace
}  // namespace kd215
