// Kd215.exe under Wine as a user works it: menus from the keyboard, buttons clicked, fields typed
// into, against kd215-sim as COM12 between two silent lines (COM1 and COM3). What is checked is what
// the user or the controller sees: status texts, messages, fields, frames on the lines, the
// controller's memory and the files on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <string>
#include <vector>

#include "app/command_ids.h"
#include "driver_win32.h"
#include "editors/dialog_ids.h"

namespace kd215 {
namespace {

const char* const kNotFound =
    "Nie znalazłem sterownika Kd215 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.";
const char* const kNoData = "Błąd komunikacji : brak danych : 0";
const char* const kProbe = "1B 03 E2";
const char* const kVersionRequest = "12 03 EB";
constexpr std::size_t kScenes = 80, kProgram1 = 160;

// The keyboard road through "&Akcja": the action's hot key opens "Wybór" on its first area, the
// arrows go down to the area, Enter chooses it.
enum Area { kSettingsArea, kScenesArea, kProgram1Area, kProgram2Area, kEverything };
std::string road(const char* actionKeys, int area) {
    std::string keys = std::string("alt+a ") + actionKeys;
    for (int i = 0; i < area; ++i) keys += " Down";
    return keys + " Return";
}
const char* const kReadController = "o";
const char* const kReadFile = "o Left Down Right";  // "&Powtórz" shares its hot key
const char* const kWriteFile = "d";
const char* const kWriteController = "s";

// After a read and a write back, a program's end step keeps its low four bits and its last byte is 0xFF.
std::vector<uint8_t> asWrittenBack(std::vector<uint8_t> memory) {
    for (std::size_t program : {kProgram1, std::size_t{330}}) {
        memory[program + 168] &= 0x0F;
        memory[program + 169] = 0xFF;
    }
    return memory;
}

// `memory` with the four areas of `image` over it; what lies between the areas stays.
std::vector<uint8_t> withAreasOf(std::vector<uint8_t> memory, const std::vector<uint8_t>& image) {
    for (const auto& area : {std::make_pair(4, 72), std::make_pair(80, 500)}) {
        std::copy(image.begin() + area.first, image.begin() + area.second, memory.begin() + area.first);
    }
    return memory;
}

class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        for (const Line& l : {controller_, silent1_, silent3_}) ASSERT_TRUE(simControl(l, "clear"));
        ASSERT_TRUE(simControl(controller_, "plug"));
        mark_ = received(controller_).size();
    }

    void start(bool ready = true) {
        std::string failure;
        ASSERT_TRUE(startProgram(program_, failure)) << failure;
        if (!ready) return;
        ASSERT_TRUE(waitReady(program_)) << "[" << statusText(program_, 0) << "] [" << statusText(program_, 2) << "]\n"
                                         << describeDialogs(program_);
        mark_ = received(controller_).size();
    }
    std::vector<std::string> requests() const { return received(controller_, mark_); }
    // Waits for `count` requests since the mark, then for the program to be idle again.
    bool requestsThenIdle(std::size_t count, DWORD timeoutMs = 15000) {
        return waitFor([&] { return requests().size() >= count; }, timeoutMs) && waitGotowe(program_) &&
               requests().size() == count;
    }
    Dialog box(const std::string& caption, DWORD timeoutMs = 10000) {
        Dialog found;
        const auto shown = [&] {
            for (const Dialog& candidate : dialogs(program_)) {
                if (candidate.caption == caption) found = candidate;
            }
            return found.window != nullptr;
        };
        EXPECT_TRUE(waitFor(shown, timeoutMs)) << caption << "\n" << describeDialogs(program_);
        return found;
    }
    // Waits for the box `caption`, answers it with `button` and gives the text it showed.
    std::string answered(const std::string& caption, int button, DWORD timeoutMs = 10000) {
        const Dialog found = box(caption, timeoutMs);
        EXPECT_TRUE(answer(found, button)) << caption << "\n" << describeDialogs(program_);
        return found.text;
    }
    // The file dialogs of a chain: the first gets `path`, the others keep the name they offer.
    void fileChain(const char* title, const std::wstring& path, int count) {
        for (int i = 0; i < count; ++i) {
            Dialog dialog = box(title);
            ASSERT_NE(dialog.window, nullptr) << "file dialog " << i + 1;
            ASSERT_TRUE(acceptFile(program_, dialog, i == 0 ? path : L"")) << describeDialogs(program_);
        }
    }

    Line controller_ = line("CONTROLLER"), silent1_ = line("SILENT1"), silent3_ = line("SILENT3");
    Program program_;
    std::size_t mark_ = 0;
};

// A port entered in or removed from the device map as Windows does when a device comes or goes:
// the value is the device's name, its data the port's. Wine keeps the map as it is written.
const wchar_t* const kDeviceMap = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
const wchar_t* const kAddedDevice = L"\\Device\\Serial5";       // the adapter plugged in, COM5
const wchar_t* const kBluetoothDevice = L"\\Device\\BthModem0";  // a paired phone, COM10
bool listPort(const wchar_t* device, const wchar_t* port) {
    const DWORD size = static_cast<DWORD>((wcslen(port) + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kDeviceMap, device, REG_SZ, port, size) == ERROR_SUCCESS;
}
void unlistPort(const wchar_t* device) { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kDeviceMap, device); }

class Ports : public Scenario {
protected:
    void SetUp() override {
        Scenario::SetUp();
        for (const Line& l : {added_, bluetooth_}) ASSERT_TRUE(simControl(l, "clear"));
    }
    void TearDown() override {
        closeProgram(program_);
        for (const wchar_t* device : {kAddedDevice, kBluetoothDevice}) unlistPort(device);
    }
    // What the system sends every top-level window when a device comes or goes.
    void devicesChanged() {
        PostMessageW(program_.main, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        Sleep(300);
    }
    Line added_ = line("ADDED"), bluetooth_ = line("BLUETOOTH");
};

using StartUp = Scenario;
using Status = Scenario;
using Editors = Scenario;
using Files = Scenario;
using Faults = Scenario;
using Transfers = Scenario;

TEST_F(StartUp, ProbesPastASilentPortAndStopsAtTheController) {
    const std::size_t com1 = received(silent1_).size(), com3 = frames(silent3_, "EV").size(), com12 = mark_;
    start();
    EXPECT_EQ(received(silent1_, com1), std::vector<std::string>{kProbe});
    EXPECT_EQ(received(controller_, com12), (std::vector<std::string>{kProbe, kVersionRequest}));
    EXPECT_TRUE(frames(silent3_, "EV", com3).empty()) << "COM3 comes after the controller's COM12 and stays closed";
    EXPECT_EQ(statusText(program_, 1), "\tWersja");
    EXPECT_TRUE(screenshot("start"));
}

// While a read waits on a silent controller, part 2 names the action however the read began: from
// the keyboard (the closing menu repaints nothing) or by a posted command (no menu at all).
TEST_F(Status, TheActionShowsForTheWholeOfASlowRead) {
    start();
    ASSERT_TRUE(simControl(controller_, "fault silent 2"));
    ASSERT_TRUE(typeKeys("alt+a Down Right Down Down Return"));  // "Odczyt ze sterownika", "Program &1"
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    EXPECT_EQ(statusText(program_, 2), "\tOdczyt z Kd215");
    EXPECT_EQ(statusText(program_, 1), "\tPgm1");
    EXPECT_TRUE(screenshot("slow-read"));
    ASSERT_TRUE(typeKeys("Escape"));
    ASSERT_TRUE(waitGotowe(program_, 3000)) << "Esc did not end the read";

    postCommand(program_, kCmdAreaProgram1);  // the action still the read
    ASSERT_TRUE(waitFor([&] { return requests().size() == 2; }));
    EXPECT_EQ(statusText(program_, 2), "\tOdczyt z Kd215");
    ASSERT_TRUE(typeKeys("alt+a z"));  // "&Zatrzymaj"
    ASSERT_TRUE(waitGotowe(program_, 3000)) << "Stop did not end the read";

    // "&Edycja", "&Scen" with the mouse (the keyboard's road is the editors' scenario).
    ASSERT_TRUE(xdotool("mousemove 22 34 click 1 sleep 0.3 mousemove 40 113 click 1 sleep 0.3 mousemove 190 147 click 1"));
    Dialog editor = box("Kd215 : Edycja scen");
    Sleep(200);
    EXPECT_EQ(statusText(program_, 1), "\tEdycja");
    ASSERT_TRUE(answer(editor, IDCANCEL));
}

TEST_F(Editors, ARefusedCommitThenEditsWrittenToTheController) {
    const std::vector<uint8_t> memory = seededBytes(102, 512);
    ASSERT_TRUE(setSimMemory(controller_, memory));
    start();
    ASSERT_TRUE(typeKeys(road(kReadController, kEverything)));
    ASSERT_TRUE(requestsThenIdle(4)) << describeDialogs(program_);
    std::vector<uint8_t> expected = asWrittenBack(memory);

    ASSERT_TRUE(typeKeys("alt+a e Down Down Return"));
    HWND scenes = box("Kd215 : Edycja scen").window;
    ASSERT_NE(scenes, nullptr);
    Sleep(200);
    EXPECT_EQ(statusText(program_, 1), "\tEdycja");
    ASSERT_TRUE(typeInto(program_, scenes, IDC_ENTRY_NUMBER, "3"));
    ASSERT_TRUE(clickButton(scenes, IDC_LOAD));
    EXPECT_EQ(controlText(scenes, IDC_FIRST_LEVEL_FIELD), std::to_string(memory[kScenes + 20] * 100 / 255));
    // A rise time out of range is marked as it is typed; the commit is refused and goes back to it.
    ASSERT_TRUE(typeInto(program_, scenes, IDC_RISE_FIELD, "1000") || controlText(scenes, IDC_RISE_FIELD) == "???");
    ASSERT_TRUE(typeInto(program_, scenes, IDC_FIRST_LEVEL_FIELD, "50"));
    ASSERT_TRUE(clickButton(scenes, IDC_COMMIT));
    EXPECT_EQ(focused(program_), GetDlgItem(scenes, IDC_RISE_FIELD));
    EXPECT_TRUE(screenshot("editor-refused"));
    const char* const levels[] = {"100", "50", "1", "20", "0", "75", "33", "99"};
    const uint8_t bytes[] = {255, 127, 2, 51, 0, 191, 84, 252};
    for (int channel = 0; channel < 8; ++channel) {
        ASSERT_TRUE(typeInto(program_, scenes, IDC_FIRST_LEVEL_FIELD + channel, levels[channel]));
        expected[kScenes + 20 + channel] = bytes[channel];
    }
    ASSERT_TRUE(typeInto(program_, scenes, IDC_RISE_FIELD, "321"));
    expected[kScenes + 28] = 321 & 0xFF;
    expected[kScenes + 29] = 321 >> 8;
    ASSERT_TRUE(clickButton(scenes, IDC_COMMIT));
    Sleep(200);
    EXPECT_EQ(dialogs(program_).size(), 1u) << "the commit is taken without a word: " << describeDialogs(program_);
    ASSERT_TRUE(clickButton(scenes, IDCANCEL));  // "Koniec"

    // Written over other contents: the areas are the edited image, the rest stays.
    std::vector<uint8_t> other = seededBytes(103, 512);
    ASSERT_TRUE(setSimMemory(controller_, other));
    ASSERT_TRUE(typeKeys(road(kWriteController, kEverything)));
    ASSERT_TRUE(requestsThenIdle(8)) << describeDialogs(program_);
    const std::vector<uint8_t> written = simMemory(controller_);
    EXPECT_TRUE(written == withAreasOf(other, expected)) << memoryDifferences(written, withAreasOf(other, expected));
}

TEST_F(Files, SavedUnderAPolishNameLoadsIntoAFreshProgramAndAFailedSaveKeepsTheOldFile) {
    const std::vector<uint8_t> memory = seededBytes(105, 512);
    ASSERT_TRUE(setSimMemory(controller_, memory));
    start();
    ASSERT_TRUE(typeKeys(road(kReadController, kEverything)));
    ASSERT_TRUE(requestsThenIdle(4));

    // The chain offers the first name with each area's extension.
    const std::wstring folder = workPath("pliki");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring name = folder + L"\\" + toWide("Zażółć gęślą jaźń");
    ASSERT_TRUE(typeKeys(road(kWriteFile, kEverything)));
    fileChain("Wybierz plik do zapisu :", name + L".ust", 4);
    ASSERT_TRUE(waitGotowe(program_));
    // The four files are read back by the fresh program below.
    std::vector<uint8_t> old, bytes;
    ASSERT_TRUE(readFile(name + L".pg2", old) && !old.empty());

    // A file another program holds open cannot be replaced: the save says so and the old file stays.
    HANDLE held = CreateFileW((name + L".pg2").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(typeKeys(road(kWriteFile, kProgram2Area)));
    fileChain("Wybierz plik do zapisu :", name + L".pg2", 1);
    EXPECT_EQ(answered("Niepowodzenie", IDOK), toUtf8(name) + ".pg2 :\nBłąd zapisu !");
    CloseHandle(held);
    EXPECT_TRUE(readFile(name + L".pg2", bytes) && bytes == old);
    WIN32_FIND_DATAW stray;
    EXPECT_EQ(FindFirstFileW((folder + L"\\kd2*").c_str(), &stray), INVALID_HANDLE_VALUE) << "a temporary file is left";

    // Leaving asks first: No keeps the program, Yes ends it.
    ASSERT_TRUE(typeKeys("alt+k"));
    ASSERT_TRUE(answer(box("Ostrzeżenie"), IDNO));
    EXPECT_EQ(waitExit(program_, 300), static_cast<DWORD>(STILL_ACTIVE));
    ASSERT_TRUE(typeKeys("alt+k"));
    ASSERT_TRUE(answer(box("Ostrzeżenie"), IDYES));
    EXPECT_EQ(waitExit(program_), 0u);

    // A fresh program loads the four files and writes them to a controller holding something else.
    closeProgram(program_);
    start();
    ASSERT_TRUE(typeKeys(road(kReadFile, kEverything)));
    fileChain("Wybierz plik z danymi :", name + L".ust", 4);
    ASSERT_TRUE(waitGotowe(program_));
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    std::vector<uint8_t> other = seededBytes(106, 512);
    ASSERT_TRUE(setSimMemory(controller_, other));
    ASSERT_TRUE(typeKeys(road(kWriteController, kEverything)));
    ASSERT_TRUE(requestsThenIdle(4)) << describeDialogs(program_);
    // The settings and scenes whole; of the programs, the twelve steps that the files hold.
    std::vector<uint8_t> written = simMemory(controller_), expected = withAreasOf(other, memory);
    for (std::size_t program : {kProgram1, std::size_t{330}}) {
        std::fill(written.begin() + program + 144, written.begin() + program + 170, 0);
        std::fill(expected.begin() + program + 144, expected.begin() + program + 170, 0);
    }
    EXPECT_TRUE(written == expected) << memoryDifferences(written, expected);
}

TEST_F(Faults, EachFaultHasItsMessageCancelKeepsTheImageRetryRecovers) {
    const std::vector<uint8_t> first = seededBytes(107, 512), second = seededBytes(108, 512);
    ASSERT_TRUE(setSimMemory(controller_, first));
    start();
    ASSERT_TRUE(typeKeys(road(kReadController, kScenesArea)));
    ASSERT_TRUE(requestsThenIdle(1));
    ASSERT_TRUE(setSimMemory(controller_, second));

    // A reply cut short ends on the Win32 line's time-out; what each other spoiled reply says is the
    // frames', the engine's and the reporter's tests.
    ASSERT_TRUE(simControl(controller_, "fault short-reply"));
    postCommand(program_, kCmdAreaScenes);  // read
    Dialog failed = box("Niepowodzenie");
    EXPECT_EQ(failed.text, "Błąd komunikacji : brak danych : 43");
    EXPECT_TRUE(hasButton(failed, IDRETRY));
    EXPECT_TRUE(screenshot("fault-short-reply"));
    ASSERT_TRUE(answer(failed, IDCANCEL));
    ASSERT_TRUE(requestsThenIdle(2));
    // A lost write, then Retry: the scenes arrive whole and as first read, untouched by the cancelled read.
    ASSERT_TRUE(simControl(controller_, "fault silent"));
    ASSERT_TRUE(typeKeys(road(kWriteController, kScenesArea)));
    EXPECT_EQ(answered("Niepowodzenie", IDRETRY), "Błąd komunikacji : NAK");
    ASSERT_TRUE(requestsThenIdle(4)) << describeDialogs(program_);
    EXPECT_TRUE(std::equal(first.begin() + kScenes, first.begin() + kScenes + 80, simMemory(controller_).begin() + kScenes));

    // A version request that nothing answers (choosing COM12 asks it) ends as the protocol's own
    // "brak danych", whatever Wine's serial layer reports for the silence.
    ASSERT_TRUE(simControl(controller_, "fault silent"));
    postCommand(program_, kCmdFirstPort + 1);  // COM12, second in the table
    EXPECT_EQ(answered("Niepowodzenie", IDRETRY), kNoData);
    ASSERT_TRUE(requestsThenIdle(6)) << describeDialogs(program_);
    EXPECT_EQ(requests().back(), kVersionRequest);
    EXPECT_EQ(statusText(program_, 0), "\tFW : 1.05");
}

TEST_F(Transfers, StopEndsAPendingChainRepeatRunsTheLastAreaRestartIsSent) {
    ASSERT_TRUE(setSimMemory(controller_, seededBytes(109, 512)));
    start();
    ASSERT_TRUE(simControl(controller_, "fault silent"));
    ASSERT_TRUE(typeKeys(road(kReadController, kEverything)));
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    ASSERT_TRUE(typeKeys("alt+a z"));  // "&Zatrzymaj"
    ASSERT_TRUE(waitGotowe(program_, 3000)) << "Stop did not end the chain";
    EXPECT_TRUE(noDialogFor(program_, 800)) << describeDialogs(program_);

    ASSERT_TRUE(typeKeys("alt+a Return"));  // "&Powtórz": the settings again, alone
    ASSERT_TRUE(requestsThenIdle(2)) << describeDialogs(program_);
    EXPECT_EQ(requests()[0], requests()[1]);

    // The menu's restart, which only this road takes; what it does to a pending chain is the
    // engine's test on the simulator.
    ASSERT_TRUE(typeKeys("alt+a r"));  // "&Restart sterownika"
    ASSERT_TRUE(requestsThenIdle(3, 3000)) << describeDialogs(program_);
    EXPECT_EQ(requests().back(), "0F 03 EE");
}

// The installer follows the advice: plugs in the adapter and chooses "&Auto", no restart. The
// Bluetooth port, listed before everything else, is never opened unasked, yet can be chosen.
TEST_F(Ports, AutoFindsAnAdapterPluggedInAfterStartUpAndPassesOverBluetooth) {
    ASSERT_TRUE(listPort(kBluetoothDevice, L"COM10"));
    ASSERT_TRUE(simControl(controller_, "unplug"));
    const std::size_t phone = received(bluetooth_).size(), adapter = received(added_).size();
    start(false);
    EXPECT_EQ(answered("Mamy problem :", IDOK, 15000), kNotFound);
    EXPECT_EQ(received(silent3_).back(), kProbe) << "every port was asked";
    ASSERT_TRUE(waitGotowe(program_));
    EXPECT_EQ(statusText(program_, 0), "\tFW : N/A");

    ASSERT_TRUE(listPort(kAddedDevice, L"COM5"));
    postCommand(program_, kCmdAutoPort);
    EXPECT_TRUE(waitReady(program_, 15000)) << describeDialogs(program_);
    EXPECT_EQ(received(added_, adapter), (std::vector<std::string>{kProbe, kVersionRequest}));
    EXPECT_TRUE(received(bluetooth_, phone).empty()) << "start-up or \"&Auto\" opened the Bluetooth port";

    // "&Auto", COM1, COM10: chosen by hand, it opens and is asked for its version.
    ASSERT_TRUE(typeKeys("alt+w Down Down Return"));
    EXPECT_TRUE(waitFor([&] { return received(bluetooth_, phone) == std::vector<std::string>{kVersionRequest}; }));
}

// The menu follows a device change while idle; during a read the change waits for the read's end,
// and the port that went is then dropped.
TEST_F(Ports, ADeviceChangeBringsAPortIntoTheMenuAndWaitsForARead) {
    start();
    const std::size_t adapter = received(added_).size();
    ASSERT_TRUE(listPort(kAddedDevice, L"COM5"));
    devicesChanged();
    EXPECT_TRUE(received(added_, adapter).empty()) << "a device change opened the new port";
    // "&Auto", COM1, COM12, COM3, COM5.
    ASSERT_TRUE(typeKeys("alt+w Down Down Down Down"));
    Sleep(300);
    EXPECT_TRUE(screenshot("port-added"));
    ASSERT_TRUE(typeKeys("Return"));
    ASSERT_TRUE(waitFor([&] { return received(added_, adapter) == std::vector<std::string>{kVersionRequest}; }));
    ASSERT_TRUE(waitReady(program_));

    ASSERT_TRUE(simControl(added_, "fault silent"));
    ASSERT_TRUE(typeKeys(road(kReadController, kScenesArea)));
    ASSERT_TRUE(waitFor([&] { return received(added_, adapter).size() == 2; }));
    unlistPort(kAddedDevice);
    devicesChanged();
    // A silent scenes read ends on the line's total time-out, about 10.3 s after its request (120 ms a
    // byte of the reply it waits for): wait well past it, or a loaded machine misses the box.
    EXPECT_EQ(answered("Niepowodzenie", IDCANCEL, 20000), kNoData) << "the read was not left to end by itself";
    ASSERT_TRUE(waitGotowe(program_));
    ASSERT_TRUE(typeKeys(road(kReadController, kScenesArea)));
    EXPECT_EQ(answered("Ostrzeżenie", IDOK), "Musisz wybrać dostępny port szeregowy !");
}

}  // namespace
}  // namespace kd215
