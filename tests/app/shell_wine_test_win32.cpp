// Kd215.exe under Wine, driven from another process against kd215-sim: start-up, menus, commands,
// ports, transfers, the file step, the status bar's layout, screenshots, and a CPU benchmark.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <random>

#include "config/config_image.h"
#include "driver_win32.h"
#include "link/frames.h"

namespace kd215 {
namespace {

constexpr std::size_t kMemorySize = 512;
const char* const kScenesReadRequest = "12 46 50 00 50 08";

// A configuration the controller could hold, different for every seed, in the controller's own
// encoding: reading it and writing it back must give the same bytes.
std::vector<uint8_t> randomMemory(uint32_t seed) {
    std::mt19937 random(seed);
    auto byte = [&] { return static_cast<uint8_t>(random()); };
    auto word = [&] { return static_cast<uint16_t>(random()); };
    ConfigImage image = defaultConfigImage();
    image.common.operatingMode = static_cast<uint8_t>(random() % 7);
    image.common.commonInputMode = static_cast<uint8_t>(random() % 3);
    image.common.switchOnTime = byte();
    image.common.switchOffTime = byte();
    for (ChannelSettings& channel : image.channels) {
        channel = {byte(), byte(), word(), word(), word(), static_cast<uint8_t>(random() % 2), 0};
    }
    for (Scene& scene : image.scenes) {
        for (uint8_t& level : scene.levels) level = byte();
        scene.riseTime = word();
    }
    for (Program& program : image.programs) {
        for (ProgramStep& step : program.steps) {
            for (uint8_t& level : step.levels) level = byte();
            step.riseTime = word();
            step.duration = word();
        }
        program.endStep = static_cast<uint8_t>(random() % kStepCount);
    }
    std::vector<uint8_t> memory(kMemorySize, 0);
    for (const AreaBlock& block : kAreaBlocks) encodeAreaPayload(image, block.area, memory.data() + block.address);
    return memory;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t length) {
    if (from + length > bytes.size()) return {};
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

std::vector<uint8_t> areaBytes(const std::vector<uint8_t>& memory, ConfigArea area) {
    return slice(memory, areaBlock(area).address, areaBlock(area).length);
}

std::vector<uint8_t> randomBytes(uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// The first five bytes of a frame in the log's notation: code, selector, address, length.
std::string header(const std::string& frame) { return frame.substr(0, 14); }

std::string describeDialogs(const Kd215Process& program) {
    std::string text;
    for (const DialogWindow& dialog : dialogs(program)) text += "[" + dialog.caption + "] " + dialog.text + "\n";
    return text.empty() ? "no dialog" : text;
}

bool isGrayed(const MenuItem* item) { return item != nullptr && (item->state & MF_GRAYED) != 0; }
bool isChecked(const MenuItem* item) { return item != nullptr && (item->state & MF_CHECKED) != 0; }

// A freshly started program that has found the simulator and read its firmware version.
class Kd215Shell : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simControl("clear\nplug")) << "the simulator does not take control commands";
        startMark_ = simFrames().size();
        std::string failure;
        ASSERT_TRUE(startProgram(program_, failure)) << failure;
        ASSERT_TRUE(waitReady(program_)) << "status: [" << statusText(program_, 0) << "] ["
                                          << statusText(program_, 2) << "]\n" << describeDialogs(program_);
        mark_ = simFrames().size();
    }

    // The requests the program sent since the test began (after the start-up's).
    std::vector<std::string> requests() const { return simRequestsSince(mark_); }
    // Waits until `count` requests have arrived and the program is idle again.
    bool waitRequestsAndIdle(std::size_t count, DWORD timeoutMs = 10000) {
        return waitFor([&] { return requests().size() >= count; }, timeoutMs) && waitIdle();
    }
    bool waitIdle(DWORD timeoutMs = 10000) { return kd215::waitIdle(program_, timeoutMs); }
    const MenuItem* item(const std::string& path, int position) {
        items_ = menuItems(program_);
        return findItem(items_, path, position);
    }
    // The menu position of a port, from the "&Wybór portu" popup.
    int portPosition(const std::string& name) {
        items_ = menuItems(program_);
        for (const MenuItem& entry : items_) {
            if (entry.path == "1" && entry.caption == name) return entry.position;
        }
        return -1;
    }
    // Saves or loads with the file dialog: waits for it, checks its title, types the path, confirms.
    void useFileDialog(const char* title, const std::wstring& path) {
        DialogWindow dialog;
        ASSERT_TRUE(waitDialog(program_, dialog, title)) << describeDialogs(program_);
        ASSERT_TRUE(acceptFileConfirming(program_, dialog, path)) << describeDialogs(program_);
    }

    Kd215Process program_;
    std::size_t startMark_ = 0;
    std::size_t mark_ = 0;
    std::vector<MenuItem> items_;
};

const char* const kSaveTitle = "Wybierz plik do zapisu :";
const char* const kLoadTitle = "Wybierz plik z danymi :";

using StartUp = Kd215Shell;
using Menus = Kd215Shell;
using Link = Kd215Shell;
using Ports = Kd215Shell;
using Commands = Kd215Shell;
using FileStep = Kd215Shell;
using Screens = Kd215Shell;
using Bench = Kd215Shell;

// ---- start-up -------------------------------------------------------------------------------

TEST_F(StartUp, FindsTheControllerByTheProbeAndReadsItsVersionUnasked) {
    const std::vector<std::string> sent = simRequestsSince(startMark_);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], "1B 03 E2");  // the probe, answered on COM3
    EXPECT_EQ(sent[1], "12 03 EB");  // then the version, without any user action

    EXPECT_EQ(statusText(program_, 0), "\tFW : 1.05");
    EXPECT_EQ(statusText(program_, 1), "\tWersja");
    EXPECT_EQ(statusText(program_, 2), "\tGotowe");
    EXPECT_TRUE(waitFor([&] { return progressPosition(program_) == 0; })) << "the idle loop resets the bar";

    const int com3 = portPosition("COM3");
    ASSERT_GT(com3, 0);
    for (const MenuItem& entry : items_) {
        if (entry.path == "1" && entry.position > 0) {
            EXPECT_EQ(isChecked(&entry), entry.position == com3) << entry.caption;
        }
    }
    EXPECT_FALSE(isChecked(item("1", 0))) << "\"&Auto\" is never checked";
    EXPECT_TRUE(isGrayed(item("0", 0))) << "\"&Powtórz\" before any data request";
    EXPECT_TRUE(isGrayed(item("0", 9))) << "\"&Zatrzymaj\" once the version has been read";
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

TEST_F(StartUp, MainWindowIsAt0x0With800x600AndItsStatusPartsFollowTheFont) {
    RECT window{};
    GetWindowRect(program_.main, &window);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right - window.left, 800);
    EXPECT_EQ(window.bottom - window.top, 600);
    wchar_t title[128] = {};
    GetWindowTextW(program_.main, title, 128);
    EXPECT_EQ(toUtf8(title), "Program komunikacyjny Kd215 <--> PC");

    // The average width of the system font, which the main window's device context starts with.
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    const int w = metrics.tmAveCharWidth;
    ASSERT_GE(w, 6) << "the narrow case below needs 300 - 9w < 43w";
    ASSERT_LE(52 * w, 800) << "the wide case needs 800 - 9w >= 43w";

    EXPECT_EQ(statusParts(program_), (std::vector<int>{12 * w, 21 * w, 43 * w, -1}));
    RECT client{};
    GetClientRect(program_.main, &client);
    RECT status{};
    GetWindowRect(program_.statusBar, &status);
    const RECT progress = progressRect(program_);
    EXPECT_EQ(progress.left, 43 * w + 2);
    EXPECT_EQ(progress.top, 2);
    EXPECT_EQ(progress.right, client.right - 2);
    EXPECT_EQ(progress.bottom - progress.top, (status.bottom - status.top) - 4);

    // Narrower than 52 average characters: the parts take 12/50, 9/50 and 22/50 of the width.
    ASSERT_TRUE(MoveWindow(program_.main, 0, 0, 300, 600, TRUE));
    EXPECT_TRUE(waitFor([&] { return statusParts(program_) == std::vector<int>{72, 126, 258, -1}; }))
        << "parts: " << ::testing::PrintToString(statusParts(program_));
    EXPECT_EQ(progressRect(program_).left, 260);
}

// ---- menus ----------------------------------------------------------------------------------

struct ExpectedItem {
    const char* path;
    int position;
    const char* caption;  // "" for a separator
    int id;               // -1 for a popup
};

TEST_F(Menus, CaptionsIdsAndPopupsAreBuiltFromTheTree) {
    const ExpectedItem expected[] = {
        {"", 0, "&Akcja", -1}, {"", 1, "&Wybór portu", -1}, {"", 2, "&Koniec pracy", 106}, {"", 3, "&Pomoc", -1},
        {"0", 0, "&Powtórz", 107}, {"0", 1, "", 0}, {"0", 2, "&Odczyt ze sterownika", -1},
        {"0", 3, "Odczyt z &pliku", -1}, {"0", 4, "&Edycja", -1}, {"0", 5, "&Weryfikacja", -1},
        {"0", 6, "Zapis &do pliku", -1}, {"0", 7, "Zapis do &sterownika", -1}, {"0", 8, "", 0},
        {"0", 9, "&Zatrzymaj", 105}, {"0", 10, "&Restart sterownika", 113}, {"0", 11, "", 0},
        {"0", 12, "&Koniec pracy", 106},
        {"0/2", 0, "&Ustawienia", 103}, {"0/2", 1, "&Sceny", 118}, {"0/2", 2, "Program &1", 104},
        {"0/2", 3, "Program &2", 117}, {"0/2", 4, "&Wszystko", 112},
        {"0/4", 0, "&Ustawień wspólnych", 116}, {"0/4", 1, "Ustawień &kanałów", 102}, {"0/4", 2, "&Scen", 114},
        {"0/4", 3, "Programu &1", 115}, {"0/4", 4, "Programu &2", 110},
        {"1", 0, "&Auto", 200}, {"1", 1, "COM1", 201}, {"1", 2, "COM2", 202}, {"1", 3, "COM3", 203},
        {"3", 0, "Opis &Programu", 100}, {"3", 1, "&O programie", 101}, {"3", 2, "&Stroma domowa", 109},
    };
    const std::vector<MenuItem> items = menuItems(program_);
    ASSERT_FALSE(items.empty());
    for (const ExpectedItem& want : expected) {
        const MenuItem* got = findItem(items, want.path, want.position);
        ASSERT_NE(got, nullptr) << want.path << ":" << want.position;
        EXPECT_EQ(got->caption, want.caption) << want.path << ":" << want.position;
        if (*want.caption == '\0') {
            EXPECT_NE(got->state & MF_SEPARATOR, 0u) << want.path << ":" << want.position;
        } else if (want.id < 0) {
            EXPECT_NE(got->submenu, 0u) << want.caption << " opens a popup";
        } else {
            EXPECT_EQ(got->id, want.id) << want.caption;
            EXPECT_EQ(got->submenu, 0u) << want.caption;
        }
    }
    int bar = 0, action = 0;
    for (const MenuItem& entry : items) {
        bar += entry.path.empty();
        action += entry.path == "0";
    }
    EXPECT_EQ(bar, 4);
    EXPECT_EQ(action, 13);

    // One "Wybór" popup behind all five actions.
    const uint64_t choice = findItem(items, "0", 2)->submenu;
    for (int position : {3, 5, 6, 7}) EXPECT_EQ(findItem(items, "0", position)->submenu, choice) << position;
    EXPECT_NE(findItem(items, "0", 4)->submenu, choice);

    // Port items carry 201 + their index, in the order of the port table.
    for (const MenuItem& entry : items) {
        if (entry.path == "1" && entry.position > 0) {
            EXPECT_EQ(entry.id, 200 + entry.position) << entry.caption;
        }
    }
    // Grey at start-up: "&Powtórz" and "&Zatrzymaj" only.
    for (const MenuItem& entry : items) {
        if (entry.state & MF_SEPARATOR) continue;  // Windows reports separators as grey
        const bool greyedByDesign = entry.path == "0" && (entry.position == 0 || entry.position == 9);
        EXPECT_EQ(isGrayed(&entry), greyedByDesign) << entry.path << ":" << entry.position << " " << entry.caption;
    }
}

TEST_F(Menus, RepeatIsEnabledByADataRequestAndGreyedByAFileStep) {
    chooseArea(program_, kReadControllerItem, 118);
    ASSERT_TRUE(waitRequestsAndIdle(1));
    EXPECT_FALSE(isGrayed(item("0", 0)));

    command(program_, 107);  // "&Powtórz" reads the scenes again
    ASSERT_TRUE(waitRequestsAndIdle(2));
    EXPECT_EQ(requests(), (std::vector<std::string>{kScenesReadRequest, kScenesReadRequest}));

    chooseArea(program_, kWriteFileItem, 118);
    DialogWindow dialog;
    ASSERT_TRUE(waitDialog(program_, dialog, kSaveTitle));
    EXPECT_TRUE(isGrayed(item("0", 0))) << "a file step greys \"&Powtórz\" as it starts";
    EXPECT_EQ(statusText(program_, 1), "\tPlik");
    ASSERT_TRUE(answer(dialog, IDCANCEL));
    EXPECT_TRUE(waitIdle());
    EXPECT_TRUE(noDialogFor(program_, 300)) << "cancelling says nothing: " << describeDialogs(program_);
    EXPECT_EQ(requests().size(), 2u);
}

// ---- transfers ------------------------------------------------------------------------------

TEST_F(Link, ReadingTheScenesSendsTheRequestAndStoresTheReply) {
    const std::vector<uint8_t> controller = randomMemory(11);
    ASSERT_TRUE(setSimMemory(controller));
    chooseArea(program_, kReadControllerItem, 118);
    ASSERT_TRUE(waitRequestsAndIdle(1));
    EXPECT_EQ(requests(), std::vector<std::string>{kScenesReadRequest});
    EXPECT_EQ(statusText(program_, 1), "\tSceny");

    // Writing the scenes to a blank controller gives back exactly what was read.
    ASSERT_TRUE(setSimMemory(std::vector<uint8_t>(kMemorySize, 0)));
    chooseArea(program_, kWriteControllerItem, 118);
    ASSERT_TRUE(waitRequestsAndIdle(2));
    EXPECT_EQ(header(requests()[1]), "11 46 50 00 50");
    EXPECT_EQ(areaBytes(simMemory(), ConfigArea::Scenes), areaBytes(controller, ConfigArea::Scenes));
    EXPECT_EQ(areaBytes(simMemory(), ConfigArea::Settings), std::vector<uint8_t>(68, 0)) << "only the scenes moved";
}

TEST_F(Link, EverythingRunsTheFourAreasInOrderForReadWriteAndVerify) {
    const std::vector<uint8_t> controller = randomMemory(12);
    ASSERT_TRUE(setSimMemory(controller));
    chooseArea(program_, kReadControllerItem, 112);
    ASSERT_TRUE(waitRequestsAndIdle(4));
    std::vector<std::string> sent = requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(header(sent[0]), "12 46 04 00 44");
    EXPECT_EQ(header(sent[1]), "12 46 50 00 50");
    EXPECT_EQ(header(sent[2]), "12 46 A0 00 AA");
    EXPECT_EQ(header(sent[3]), "12 46 4A 01 AA");

    ASSERT_TRUE(setSimMemory(std::vector<uint8_t>(kMemorySize, 0)));
    chooseArea(program_, kWriteControllerItem, 112);
    ASSERT_TRUE(waitRequestsAndIdle(8));
    sent = requests();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(header(sent[4]), "11 46 04 00 44");
    EXPECT_EQ(header(sent[5]), "11 46 50 00 50");
    EXPECT_EQ(header(sent[6]), "11 46 A0 00 AA");
    EXPECT_EQ(header(sent[7]), "11 46 4A 01 AA");
    const std::vector<uint8_t> written = simMemory();
    for (const AreaBlock& block : kAreaBlocks) {
        EXPECT_EQ(areaBytes(written, block.area), areaBytes(controller, block.area)) << block.fileExtension;
    }

    // Verifying an identical controller asks nothing and reads all four areas.
    chooseArea(program_, kVerifyItem, 112);
    ASSERT_TRUE(waitRequestsAndIdle(12));
    sent = requests();
    ASSERT_EQ(sent.size(), 12u);
    EXPECT_EQ(header(sent[8]), "12 46 04 00 44");
    EXPECT_EQ(header(sent[11]), "12 46 4A 01 AA");
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);

    // A difference in the scenes asks Yes/No; No ends the chain before the programs.
    std::vector<uint8_t> changed = controller;
    changed[areaBlock(ConfigArea::Scenes).address] ^= 0x5A;
    ASSERT_TRUE(setSimMemory(changed));
    chooseArea(program_, kVerifyItem, 112);
    DialogWindow difference;
    ASSERT_TRUE(waitDialog(program_, difference));
    EXPECT_TRUE(hasButton(difference, IDYES) && hasButton(difference, IDNO)) << difference.text;
    ASSERT_TRUE(answer(difference, IDNO));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    sent = requests();
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(header(sent[12]), "12 46 04 00 44");
    EXPECT_EQ(header(sent[13]), "12 46 50 00 50");
}

TEST_F(Link, EscapeStopsATransferThatWaitsOnTheLine) {
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kReadControllerItem, 104);  // program 1: its reply would take up to 21 s
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    EXPECT_TRUE(waitFor([&] { return statusText(program_, 2) == "\tOdczyt z Kd215"; }));
    EXPECT_EQ(statusText(program_, 1), "\tPgm1");
    EXPECT_FALSE(isGrayed(item("0", 9))) << "\"&Zatrzymaj\" while the transfer runs";

    pressEscape(program_);
    EXPECT_TRUE(waitIdle(2000)) << "Esc did not stop the transfer";
    EXPECT_TRUE(isGrayed(item("0", 9)));
    EXPECT_TRUE(noDialogFor(program_, 1000)) << "a stopped transfer reports nothing: " << describeDialogs(program_);

    // The port is still good for the next command.
    chooseArea(program_, kReadControllerItem, 118);
    ASSERT_TRUE(waitRequestsAndIdle(2));
    EXPECT_EQ(requests().back(), kScenesReadRequest);
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

TEST_F(Link, RestartReplacesWhateverRuns) {
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kReadControllerItem, 117);
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    // Passing over "&Restart sterownika" on the way to it clears the action.
    highlight(program_, 113);
    command(program_, 113);
    ASSERT_TRUE(waitRequestsAndIdle(2, 3000));
    EXPECT_EQ(header(requests()[0]), "12 46 4A 01 AA");
    EXPECT_EQ(requests()[1], "0F 03 EE");
    EXPECT_EQ(statusText(program_, 1), "\tN/A");
    EXPECT_TRUE(noDialogFor(program_, 500)) << describeDialogs(program_);
}

// ---- ports ----------------------------------------------------------------------------------

TEST_F(Ports, AutoProbesAgainAndChecksTheControllersPort) {
    command(program_, 200);
    ASSERT_TRUE(waitRequestsAndIdle(2));
    EXPECT_EQ(requests(), (std::vector<std::string>{"1B 03 E2", "12 03 EB"}));
    EXPECT_TRUE(isChecked(item("1", portPosition("COM3"))));
    EXPECT_FALSE(isChecked(item("1", 0)));
    EXPECT_EQ(statusText(program_, 0), "\tFW : 1.05");
    EXPECT_TRUE(noDialogFor(program_, 200)) << describeDialogs(program_);
}

TEST_F(Ports, APortItemMovesTheCheckAndAsksThatPortForTheVersion) {
    const int com2 = portPosition("COM2");  // a line with nothing behind it
    const int com3 = portPosition("COM3");
    ASSERT_GT(com2, 0);
    command(program_, 200 + com2);
    EXPECT_TRUE(waitFor([&] { return isChecked(item("1", com2)); }));
    EXPECT_FALSE(isChecked(item("1", com3)));
    DialogWindow silence;
    ASSERT_TRUE(waitDialog(program_, silence, "Niepowodzenie")) << describeDialogs(program_);
    EXPECT_EQ(silence.text.rfind("Błąd komunikacji : ", 0), 0u) << silence.text;
    EXPECT_TRUE(hasButton(silence, IDRETRY) && hasButton(silence, IDCANCEL));
    EXPECT_EQ(boxIcon(program_, silence.window), "warning");
    ASSERT_TRUE(answer(silence, IDCANCEL));
    EXPECT_TRUE(waitIdle());
    EXPECT_TRUE(requests().empty()) << "the version request went to COM2, not to the controller";

    command(program_, 200 + com3);
    ASSERT_TRUE(waitRequestsAndIdle(1));
    EXPECT_EQ(requests(), std::vector<std::string>{"12 03 EB"}) << "no probe before the version";
    EXPECT_TRUE(isChecked(item("1", com3)));
    EXPECT_FALSE(isChecked(item("1", com2)));
}

TEST_F(Ports, WithoutAnOpenPortControllerCommandsAreRefused) {
    const int com1 = portPosition("COM1");  // registered, but no device behind it
    ASSERT_GT(com1, 0);
    command(program_, 200 + com1);
    DialogWindow failed;
    ASSERT_TRUE(waitDialog(program_, failed, "Ostrzeżenie")) << describeDialogs(program_);
    EXPECT_TRUE(failed.text == "Błąd konfiguracji portu !" || failed.text == "Błąd otwarcia portu !") << failed.text;
    ASSERT_TRUE(answer(failed, IDOK));
    for (const MenuItem& entry : menuItems(program_)) {
        if (entry.path == "1") {
            EXPECT_FALSE(isChecked(&entry)) << entry.caption;
        }
    }

    for (int area : {118, 112}) {
        chooseArea(program_, kReadControllerItem, area);
        DialogWindow refused;
        ASSERT_TRUE(waitDialog(program_, refused, "Ostrzeżenie")) << area;
        EXPECT_EQ(refused.text, "Musisz wybrać dostępny port szeregowy !");
        EXPECT_EQ(boxIcon(program_, refused.window), "warning");
        if (area == 112) {
            ASSERT_TRUE(screenshot("no-port-box"));
        }
        ASSERT_TRUE(answer(refused, IDOK));
        EXPECT_TRUE(waitIdle());
    }
    EXPECT_TRUE(requests().empty());

    // A file action needs no port.
    chooseArea(program_, kReadFileItem, 118);
    DialogWindow open;
    ASSERT_TRUE(waitDialog(program_, open, kLoadTitle)) << describeDialogs(program_);
    ASSERT_TRUE(answer(open, IDCANCEL));
}

// ---- commands of the shell ------------------------------------------------------------------

TEST_F(Commands, ExitAsksFirstAndYesEndsTheProgram) {
    command(program_, 106);
    DialogWindow question;
    ASSERT_TRUE(waitDialog(program_, question, "Ostrzeżenie"));
    EXPECT_EQ(question.text,
              "UWAGA !!!\nWszystkie zmiany nie zapisane do pliku\nlub do sterownika zostaną utracone !!!\n"
              "Czy na pewno chcesz zakończyć ?");
    EXPECT_TRUE(hasButton(question, IDYES) && hasButton(question, IDNO));
    EXPECT_FALSE(hasButton(question, IDOK));
    EXPECT_EQ(boxIcon(program_, question.window), "warning");
    ASSERT_TRUE(screenshot("exit-question"));
    ASSERT_TRUE(answer(question, IDNO));
    EXPECT_EQ(waitExit(program_, 500), STILL_ACTIVE) << "No keeps the program running";

    command(program_, 106);
    ASSERT_TRUE(waitDialog(program_, question, "Ostrzeżenie"));
    ASSERT_TRUE(answer(question, IDYES));
    EXPECT_EQ(waitExit(program_), 0u);
}

TEST_F(Commands, ClosingTheWindowFromItsFrameEndsWithoutAsking) {
    PostMessageW(program_.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(waitExit(program_), 0u) << describeDialogs(program_);
}

TEST_F(Commands, AboutAndTheMissingHelpFileAreInformation) {
    command(program_, 101);
    DialogWindow about;
    ASSERT_TRUE(waitDialog(program_, about, "O programie :"));
    EXPECT_EQ(about.text.rfind("Program komunikacyjny\nKd215 <--> PC\nwersja 1.0\n\n", 0), 0u) << about.text;
    EXPECT_GT(about.text.size(), std::string("Program komunikacyjny\nKd215 <--> PC\nwersja 1.0\n\n").size())
        << "the maker's line follows";
    EXPECT_EQ(boxIcon(program_, about.window), "information");
    ASSERT_TRUE(answer(about, IDOK));

    ASSERT_EQ(GetFileAttributesW(workPath("Kd215.hlp").c_str()), INVALID_FILE_ATTRIBUTES);
    command(program_, 100);
    DialogWindow help;
    ASSERT_TRUE(waitDialog(program_, help, "Brak dostępu !"));
    EXPECT_EQ(help.text, "Plik pomocy nie jest na razie dostępny !");
    EXPECT_EQ(boxIcon(program_, help.window), "information");
    ASSERT_TRUE(answer(help, IDOK));
}

// The home page goes to the command interpreter named by ComSpec; this driver stands in for it
// and records the command line it was given (see main()).
TEST(HomePage, StartsTheInterpreterWithStartAndSlashCOnTheNtFamily) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (bool ntFamily : {true, false}) {
        const std::wstring record = workPath(ntFamily ? "comspec-nt.txt" : "comspec-9x.txt");
        DeleteFileW(record.c_str());
        Kd215Process program;
        std::string failure;
        ASSERT_TRUE(startProgram(program, failure,
                                 {{L"ComSpec", self}, {L"KD215_RECORD_ARGS", record}, {L"OS", ntFamily ? L"Windows_NT" : L""}}))
            << failure;
        ASSERT_TRUE(waitReady(program));
        command(program, 109);
        std::vector<uint8_t> line;
        ASSERT_TRUE(waitFor([&] { return readFile(record, line) && !line.empty(); })) << "the interpreter never started";
        const std::string expected = "\"" + toUtf8(self) + "\" " + (ntFamily ? "/c start " : "start ") +
                                     "https://kd215.example/";
        EXPECT_EQ(std::string(line.begin(), line.end()), expected);
        EXPECT_TRUE(noDialogFor(program, 200)) << describeDialogs(program);
    }
}

TEST_F(Commands, EditorsWaitForTheTransferAndLeaveNoAreaBehind) {
    ASSERT_TRUE(simControl("fault silent"));
    chooseArea(program_, kReadControllerItem, 104);
    ASSERT_TRUE(waitFor([&] { return requests().size() == 1; }));
    command(program_, 114);
    EXPECT_TRUE(noDialogFor(program_, 500)) << "an editor opened during a transfer: " << describeDialogs(program_);
    pressEscape(program_);
    ASSERT_TRUE(waitIdle(2000));

    // Posted without the uncovered client's repaint that command() adds: that repaint writes the
    // area's own label into part 1 and may land before or after the editor's "\tEdycja".
    PostMessageW(program_.main, WM_COMMAND, MAKEWPARAM(114, 0), 0);
    DialogWindow editor;
    ASSERT_TRUE(waitDialog(program_, editor)) << "\"&Scen\" opens the editor when idle";
    EXPECT_EQ(statusText(program_, 1), "\tEdycja");
    ASSERT_TRUE(answer(editor, IDCANCEL)) << "the editor has a Cancel button";
    EXPECT_TRUE(waitFor([&] { return statusText(program_, 1).empty(); })) << "[" << statusText(program_, 1) << "]";
}

// ---- the file step --------------------------------------------------------------------------

TEST_F(FileStep, SavesTheFourAreasInAChainWithTheirSizes) {
    const std::vector<uint8_t> controller = randomMemory(21);
    ASSERT_TRUE(setSimMemory(controller));
    chooseArea(program_, kReadControllerItem, 112);
    ASSERT_TRUE(waitRequestsAndIdle(4));

    const std::wstring folder = workPath("chain-save");
    CreateDirectoryW(folder.c_str(), nullptr);
    chooseArea(program_, kWriteFileItem, 112);
    DialogWindow dialog;
    ASSERT_TRUE(waitDialog(program_, dialog, kSaveTitle));
    EXPECT_EQ(fileDialogFilterIndex(dialog), 1);
    ASSERT_TRUE(acceptFile(dialog, folder + L"\\konfiguracja.ust"));
    // Each next dialog offers the same name with the next area's extension and filter.
    const struct {
        const wchar_t* extension;
        int filter;
    } next[] = {{L".sce", 2}, {L".pg1", 3}, {L".pg2", 3}};
    for (const auto& area : next) {
        ASSERT_TRUE(waitFor([&] {
            return waitDialog(program_, dialog, kSaveTitle, 100) && dialog.window != nullptr &&
                   fileDialogName(dialog).find(std::wstring(L"konfiguracja") + area.extension) != std::wstring::npos;
        })) << "offered: [" << toUtf8(fileDialogName(dialog)) << "] " << describeDialogs(program_);
        EXPECT_EQ(fileDialogFilterIndex(dialog), area.filter) << toUtf8(area.extension);
        ASSERT_TRUE(acceptFile(dialog, L""));
    }
    ASSERT_TRUE(waitFor([&] { return dialogs(program_).empty(); })) << describeDialogs(program_);
    ASSERT_TRUE(waitIdle());

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readFile(folder + L"\\konfiguracja.ust", bytes));
    EXPECT_EQ(bytes.size(), 84u);
    ASSERT_TRUE(readFile(folder + L"\\konfiguracja.sce", bytes));
    EXPECT_EQ(bytes, areaBytes(controller, ConfigArea::Scenes)) << "scene records are the same on the wire and on disk";
    ASSERT_TRUE(readFile(folder + L"\\konfiguracja.pg1", bytes));
    EXPECT_EQ(bytes, slice(controller, areaBlock(ConfigArea::Program1).address, 144)) << "steps 1 to 12";
    ASSERT_TRUE(readFile(folder + L"\\konfiguracja.pg2", bytes));
    EXPECT_EQ(bytes, slice(controller, areaBlock(ConfigArea::Program2).address, 144));
    EXPECT_EQ(folderEntries(folder).size(), 4u) << "no temporary file is left behind";
}

TEST_F(FileStep, LoadsTheFourFilesBackInAChain) {
    const std::wstring folder = workPath("chain-load");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<uint8_t> settingsFile = randomBytes(31, 84);
    for (int channel = 0; channel < 8; ++channel) settingsFile[4 + 10 * channel + 8] = channel % 2 ? 255 : 0;
    const std::vector<std::pair<std::wstring, std::vector<uint8_t>>> files = {
        {L"dane.ust", settingsFile}, {L"dane.sce", randomBytes(32, 80)},
        {L"dane.pg1", randomBytes(33, 144)}, {L"dane.pg2", randomBytes(34, 144)}};
    for (const auto& file : files) ASSERT_TRUE(writeFile(folder + L"\\" + file.first, file.second));

    chooseArea(program_, kReadFileItem, 112);
    useFileDialog(kLoadTitle, folder + L"\\dane.ust");
    for (int i = 0; i < 3; ++i) useFileDialog(kLoadTitle, L"");
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);

    // Saved again under other names, the image gives the same bytes back.
    const std::wstring copies = workPath("chain-load-copy");
    CreateDirectoryW(copies.c_str(), nullptr);
    chooseArea(program_, kWriteFileItem, 112);
    useFileDialog(kSaveTitle, copies + L"\\dane.ust");
    for (int i = 0; i < 3; ++i) useFileDialog(kSaveTitle, L"");
    ASSERT_TRUE(waitIdle());
    for (const auto& file : files) {
        std::vector<uint8_t> copy;
        ASSERT_TRUE(readFile(copies + L"\\" + file.first, copy)) << toUtf8(file.first);
        EXPECT_EQ(copy, file.second) << toUtf8(file.first);
    }
}

TEST_F(FileStep, AShortFileIsAReadErrorAndEndsTheStep) {
    const std::wstring path = workPath("krotki.ust");
    ASSERT_TRUE(writeFile(path, randomBytes(41, 80)));  // a scenes file's size, four bytes short
    chooseArea(program_, kReadFileItem, 103);
    useFileDialog(kLoadTitle, path);
    DialogWindow error;
    ASSERT_TRUE(waitDialog(program_, error, "Niepowodzenie")) << describeDialogs(program_);
    EXPECT_EQ(error.text, toUtf8(path) + " :\nBłąd odczytu !");
    EXPECT_EQ(boxIcon(program_, error.window), "error");
    ASSERT_TRUE(answer(error, IDOK));
    EXPECT_TRUE(waitIdle());
}

TEST_F(FileStep, AReadOnlyTargetKeepsItsContents) {
    const std::wstring path = workPath("tylko-do-odczytu.sce");
    const std::vector<uint8_t> old = randomBytes(51, 80);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(writeFile(path, old));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    chooseArea(program_, kWriteFileItem, 118);
    useFileDialog(kSaveTitle, path);  // answering Yes to the dialog's "replace it?"
    DialogWindow box;
    ASSERT_TRUE(waitDialog(program_, box, "Niepowodzenie")) << describeDialogs(program_);
    EXPECT_EQ(box.text, toUtf8(path) + " :\nBrak dostępu do zapisu !");
    EXPECT_EQ(boxIcon(program_, box.window), "error");
    ASSERT_TRUE(answer(box, IDOK));
    EXPECT_TRUE(waitIdle());
    std::vector<uint8_t> now;
    ASSERT_TRUE(readFile(path, now));
    EXPECT_EQ(now, old);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileStep, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::wstring folder = workPath("zablokowany");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\sceny.sce";
    const std::vector<uint8_t> old = randomBytes(61, 80);
    ASSERT_TRUE(writeFile(path, old));
    // Another program holds the file open without sharing: it cannot be replaced now.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    chooseArea(program_, kWriteFileItem, 118);
    DialogWindow dialog;
    ASSERT_TRUE(waitDialog(program_, dialog, kSaveTitle));
    ASSERT_TRUE(acceptFile(dialog, path));
    DialogWindow box;
    ASSERT_TRUE(waitFor([&] {
        for (const DialogWindow& d : dialogs(program_)) {
            if (d.caption == "Niepowodzenie") {
                box = d;
                return true;
            }
            // The dialog's own "replace it?" question: yes.
            if (d.window != dialog.window && hasButton(d, IDYES)) answer(d, IDYES);
        }
        return false;
    })) << describeDialogs(program_);
    EXPECT_EQ(box.text, toUtf8(path) + " :\nBłąd zapisu !");
    ASSERT_TRUE(answer(box, IDOK));
    CloseHandle(held);
    EXPECT_TRUE(waitIdle());

    std::vector<uint8_t> now;
    ASSERT_TRUE(readFile(path, now));
    EXPECT_EQ(now, old);
    EXPECT_EQ(folderEntries(folder), std::vector<std::wstring>{L"sceny.sce"}) << "the temporary file was removed";
}

TEST_F(FileStep, AWriteFailingOnAFullDiskLeavesTheOldFileAndNoTemporaryFile) {
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KD215_FULL_FOLDER", folder, MAX_PATH) == 0) {
        GTEST_SKIP() << "no small file system to fill (mounting it needs root)";
    }
    const std::wstring path = std::wstring(folder) + L"\\sceny.sce";
    const std::wstring filler = std::wstring(folder) + L"\\wypelnienie";
    const std::vector<uint8_t> old = randomBytes(71, 80);
    ASSERT_TRUE(writeFile(path, old));
    // Fill every byte left, so that the next byte written anywhere fails.
    HANDLE fill = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(fill, INVALID_HANDLE_VALUE);
    const std::vector<uint8_t> block(512, 0xAA);
    DWORD written = 0;
    int blocks = 0;
    while (blocks < 1000 && WriteFile(fill, block.data(), 512, &written, nullptr) && written == 512) ++blocks;
    for (DWORD one = 1; one == 1;) WriteFile(fill, block.data(), 1, &one, nullptr);
    CloseHandle(fill);
    ASSERT_LT(blocks, 1000) << "the file system did not fill up";

    chooseArea(program_, kWriteFileItem, 118);
    useFileDialog(kSaveTitle, path);
    DialogWindow box;
    ASSERT_TRUE(waitDialog(program_, box, "Niepowodzenie")) << describeDialogs(program_);
    EXPECT_EQ(box.text, toUtf8(path) + " :\nBłąd zapisu !");
    ASSERT_TRUE(answer(box, IDOK));
    EXPECT_TRUE(waitIdle());
    std::vector<uint8_t> now;
    ASSERT_TRUE(readFile(path, now));
    EXPECT_EQ(now, old);
    EXPECT_EQ(folderEntries(folder), (std::vector<std::wstring>{L"sceny.sce", L"wypelnienie"}));
    DeleteFileW(filler.c_str());
    DeleteFileW(path.c_str());
}

TEST_F(FileStep, SavesUnderAPolishName) {
    const std::wstring folder = workPath("polskie");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string name = "Zażółć gęślą jaźń.sce";
    chooseArea(program_, kWriteFileItem, 118);
    DialogWindow dialog;
    ASSERT_TRUE(waitDialog(program_, dialog, kSaveTitle));
    // A folder typed and confirmed opens it; then the bare name fits the box and shows whole.
    ASSERT_TRUE(acceptFile(dialog, folder));
    waitFor([&] { return fileDialogName(dialog) != folder; }, 2000);
    ASSERT_TRUE(typeFileName(dialog, toWide(name)));
    ASSERT_TRUE(screenshot("save-dialog"));
    useFileDialog(kSaveTitle, L"");
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(noDialogFor(program_, 300)) << describeDialogs(program_);
    EXPECT_EQ(folderEntries(folder), std::vector<std::wstring>{toWide(name)});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readFile(folder + L"\\" + toWide(name), bytes));
    EXPECT_EQ(bytes.size(), 80u);
}

// ---- screenshots ----------------------------------------------------------------------------

TEST_F(Screens, MainWindowWithTheActionMenuOpen) {
    ASSERT_TRUE(screenshot("main"));
    // Alt+A as the keyboard gives it opens "&Akcja"; Down and Right open "Wybór" from
    // "&Odczyt ze sterownika", which records the action as the mouse would.
    PostMessageW(program_.main, WM_SYSCOMMAND, SC_KEYMENU, 'a');
    Sleep(300);
    for (WPARAM key : {VK_DOWN, VK_RIGHT}) {
        PostMessageW(program_.main, WM_KEYDOWN, key, 1);
        Sleep(200);
    }
    ASSERT_TRUE(screenshot("menu-akcja"));
    // Choosing "&Sceny" from the open menu: the read goes out, and the menu's closing repaints.
    PostMessageW(program_.main, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageW(program_.main, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(waitRequestsAndIdle(1)) << describeDialogs(program_);
    EXPECT_EQ(requests(), std::vector<std::string>{kScenesReadRequest});
}

// ---- benchmark ------------------------------------------------------------------------------

struct CpuSample {
    double program = -1;
    double wineserver = -1;
};

CpuSample cpuNow() {
    CpuSample sample;
    programCpuSeconds(sample.program, sample.wineserver);
    return sample;
}

// Processor time of Kd215.exe (and of the wineserver working for it) while it reads the four areas
// from a controller that answers after 40 ms, against the wall time; then while it sits idle.
// Figures only: nothing here is a limit.
TEST_F(Bench, CpuTimeOfFourAreaReads) {
    ASSERT_TRUE(setSimMemory(randomMemory(71)));
    constexpr int kRounds = 5;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    // Without the inspection hook, which would add to every message the program takes.
    ASSERT_TRUE(setInspecting(program_, false));
    const CpuSample before = cpuNow();
    ASSERT_GE(before.program, 0) << "the program's processor time cannot be read";
    QueryPerformanceCounter(&start);
    for (int round = 1; round <= kRounds; ++round) {
        chooseArea(program_, kReadControllerItem, 112);
        // Watching only the simulator's log, so that the driver's own questions to the program do
        // not add to its processor time; the program needs a moment for the last reply.
        const std::size_t replies = 4u * static_cast<std::size_t>(round);
        ASSERT_TRUE(waitFor(
            [&] {
                std::size_t seen = 0;
                const std::vector<SimFrame> frames = simFrames();
                for (std::size_t i = mark_; i < frames.size(); ++i) seen += frames[i].direction == "TX";
                return seen >= replies;
            },
            60000));
        Sleep(50);
    }
    QueryPerformanceCounter(&end);
    const CpuSample after = cpuNow();
    const double wall = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const double program = after.program - before.program;
    const double server = after.wineserver - before.wineserver;

    const CpuSample idleBefore = cpuNow();
    Sleep(2000);
    const CpuSample idleAfter = cpuNow();
    ASSERT_TRUE(setInspecting(program_, true));
    ASSERT_TRUE(waitIdle());

    std::printf("bench: %d four-area reads (20 exchanges, 40 ms turnaround): wall %.3f s\n", kRounds, wall);
    std::printf("bench:   Kd215.exe CPU %.3f s = %.1f %% of wall; its wineserver %.3f s = %.1f %%\n", program,
                100.0 * program / wall, server, 100.0 * server / wall);
    std::printf("bench: idle 2 s: Kd215.exe CPU %.3f s, wineserver %.3f s\n", idleAfter.program - idleBefore.program,
                idleAfter.wineserver - idleBefore.wineserver);
    EXPECT_EQ(requests().size(), 4u * kRounds);
}

}  // namespace
}  // namespace kd215

namespace {

// A test that hangs ends the whole run, so that the script still cleans up after it: a run killed
// from outside leaves its prefix's processes behind.
class Watchdog : public ::testing::EmptyTestEventListener {
public:
    static constexpr ULONGLONG kLimitMs = 180000;

    void OnTestStart(const ::testing::TestInfo& test) override {
        name_ = std::string(test.test_suite_name()) + "." + test.name();
        started_ = GetTickCount64();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { started_ = 0; }

    static DWORD WINAPI watch(LPVOID self) {
        auto* dog = static_cast<Watchdog*>(self);
        for (;;) {
            Sleep(1000);
            const ULONGLONG started = dog->started_;
            if (started != 0 && GetTickCount64() - started > kLimitMs) {
                std::printf("\n%s still runs after %llu s: ending the run\n", dog->name_.c_str(), kLimitMs / 1000);
                std::fflush(stdout);
                ExitProcess(3);
            }
        }
    }

private:
    std::string name_;
    volatile ULONGLONG started_ = 0;
};

}  // namespace

// The driver doubles as the command interpreter of the home-page test: started with
// KD215_RECORD_ARGS set, it writes its command line there and ends.
int main(int argc, char** argv) {
    wchar_t record[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KD215_RECORD_ARGS", record, MAX_PATH) > 0) {
        const std::string line = kd215::toUtf8(GetCommandLineW());
        return kd215::writeFile(record, std::vector<uint8_t>(line.begin(), line.end())) ? 0 : 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    auto* watchdog = new Watchdog;  // the listener list owns it
    ::testing::UnitTest::GetInstance()->listeners().Append(watchdog);
    CloseHandle(CreateThread(nullptr, 0, Watchdog::watch, watchdog, 0, nullptr));
    return RUN_ALL_TESTS();
}
