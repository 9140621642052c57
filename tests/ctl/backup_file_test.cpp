// The backup text: the message for each fault when it is read back, and an older file kept word for word.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "records/backup_file.h"

namespace kd215 {
namespace {

// A backup whose scenes and end steps have values of their own, for the faults to spoil.
ConfigImage busyImage() {
    ConfigImage image = defaultConfigImage();
    image.common.switchOnTime = 255;
    for (int s = 0; s < kSceneCount; ++s) {
        for (int c = 0; c < kChannelCount; ++c) image.scenes[s].levels[c] = static_cast<uint8_t>(s * 31 + c);
    }
    image.programs[0].endStep = 13;
    return image;
}

bool sameControllerFields(const ConfigImage& a, const ConfigImage& b) {
    ConfigImage x = a, y = b;
    for (auto& c : x.channels) c.reserved = 0;  // not the controller's: never in a backup
    for (auto& c : y.channels) c.reserved = 0;
    return std::memcmp(&x, &y, sizeof x) == 0;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct Fault {
    const char* name;
    std::string from, to;  // the change made to a good backup
    std::string expected;  // the message contains this
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class BackupFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(BackupFaults, AreRefusedWithTheirOwnMessageAndChangeNothing) {
    const Fault& fault = GetParam();
    const std::string good = writeBackupJson(busyImage(), BackupInfo{"1.05", "", "", "", ""});
    const std::string bad = replaced(good, fault.from, fault.to);
    ConfigImage image = defaultConfigImage();
    BackupInfo info;
    info.firmware = "untouched";
    const BackupLoadResult result = readBackupJson(bad, image, info);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(fault.expected), std::string::npos) << result.error;
    EXPECT_TRUE(sameControllerFields(image, defaultConfigImage()));
    EXPECT_EQ(info.firmware, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BackupFaults,
    ::testing::Values(
        Fault{"WrongVersion", "\"version\": 1", "\"version\": 2", "nieobsługiwana wersja kopii zapasowej: 2"},
        Fault{"NotABackup", "\"format\": \"kd215-backup\"", "\"format\": \"other\"", "to nie jest kopia zapasowa Kd215"},
        Fault{"Damaged", "\"programs\":", "\"programs\": [", "uszkodzony JSON"},
        Fault{"MisspeltSection", "\"scenes\":", "\"scenez\":", "nieznane pole scenez. Czy chodziło o scenes?"},
        Fault{"MisspeltKey", "\"switchOffTime\"", "\"swtichOffTime\"", "nieznane pole settings.swtichOffTime. Czy chodziło o switchOffTime?"},
        Fault{"UnknownKey", "\"inputInverted\": 0}", "\"inputInverted\": 0, \"colour\": 3}", "nieznane pole settings.channels[0].colour (kanał 1)"},
        Fault{"TooFewScenes", "{\"levels\": [0, 1, 2, 3, 4, 5, 6, 7], \"riseTime\": 0},", "",
              "pole scenes: oczekiwano 8 elementów, jest 7"},
        Fault{"LevelOutOfRange", "[0, 1, 2, 3, 4, 5, 6, 7]", "[0, 1, 2, 3, 4, 256, 6, 7]",
              "pole scenes[0].levels[5] (scena 1, kanał 6): wartość 256"},
        Fault{"EndStepOutOfRange", "\"endStep\": 13", "\"endStep\": 16", "programs[0].endStep"},
        Fault{"RepeatedSection", "\"scenes\":", "\"settings\": {}, \"scenes\":", "pole settings występuje w pliku więcej niż raz"},
        Fault{"RepeatedField", "\"riseTime\": 0}", "\"riseTime\": 0, \"riseTime\": 5}", "pole scenes[0].riseTime występuje"},
        Fault{"WrongType", "\"switchOnTime\": 255", "\"switchOnTime\": \"255\"", "oczekiwano: liczba całkowita, jest: napis"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(BackupFile, ShortFileCutAnywhereIsRefusedAndChangesNothing) {
    const std::string good = writeBackupJson(busyImage(), BackupInfo{"1.05", "", "", "", ""});
    for (std::size_t length = 0; length + 1 < good.size(); length += 7) {
        ConfigImage image = defaultConfigImage();
        BackupInfo info;
        EXPECT_FALSE(readBackupJson(good.substr(0, length), image, info).ok) << length;
        EXPECT_TRUE(sameControllerFields(image, defaultConfigImage())) << length;
    }
}

TEST(BackupFile, SiteCustomerAndNoteComeBackAsWritten) {
    const BackupInfo written{"1.05", "2026-12-07T10:26:10+01:00", "Hala „Żuraw” 2", "Zakład Ćma", "wymiana\nzasilacza"};
    ConfigImage image = defaultConfigImage();
    BackupInfo read;
    ASSERT_TRUE(readBackupJson(writeBackupJson(busyImage(), written), image, read).ok);
    EXPECT_EQ(read.site, written.site);
    EXPECT_EQ(read.customer, written.customer);
    EXPECT_EQ(read.note, written.note);
}

// A backup written by kd215ctl before it read and wrote JSON with the library: travelling
// between laptops, it must load as it is, and come out again in the same words.
TEST(BackupFile, OneWrittenByAnEarlierKd215ctlLoadsAndIsWrittenTheSame) {
    std::ifstream in(std::string(KD215_SOURCE_DIR) + "/tests/fuzz/backup/seeds/written-by-kd215ctl-1.0.json");
    const std::string old((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(old.empty());
    ConfigImage image = defaultConfigImage();
    BackupInfo info;
    const BackupLoadResult result = readBackupJson(old, image, info);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(info.firmware, "1.05");
    EXPECT_EQ(image.scenes[7].riseTime, 17739);
    EXPECT_EQ(writeBackupJson(image, info), old);
}

}  // namespace
}  // namespace kd215
