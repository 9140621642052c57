// Showing and comparing configuration files, telling their kinds apart, and the verification
// lines kd215ctl prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/area_files.h"
#include "config_files.h"
#include "config_text.h"
#include "link/frames.h"
#include "link_session.h"

namespace kd215 {
namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kd215ctl-files-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name, const std::string& bytes) const {
        const std::string path = path_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    std::string path_;
};

std::string areaBytes(const ConfigImage& image, ConfigArea area) {
    const std::vector<uint8_t> bytes = encodeAreaFile(image, area);
    return std::string(bytes.begin(), bytes.end());
}

ConfigFile loaded(const std::string& path) {
    ConfigFile file;
    const FileLoadResult result = loadConfigFile(path, file);
    EXPECT_TRUE(result.ok) << result.error;
    return file;
}

std::string loadError(const std::string& path) {
    ConfigFile file;
    const FileLoadResult result = loadConfigFile(path, file);
    EXPECT_FALSE(result.ok) << path;
    return result.error;
}

TEST(ConfigFiles, KindComesFromTheNameOrElseTheSizeOrContent) {
    TempDir dir;
    const ConfigImage image = defaultConfigImage();
    EXPECT_EQ(loaded(dir.file("a.UST", areaBytes(image, ConfigArea::Settings))).kind, FileKind::Settings);
    EXPECT_EQ(loaded(dir.file("a.pg2", areaBytes(image, ConfigArea::Program2))).kind, FileKind::Program);
    EXPECT_EQ(loaded(dir.file("noname", areaBytes(image, ConfigArea::Scenes))).kind, FileKind::Scenes);
    EXPECT_EQ(loaded(dir.file("copy.txt", writeBackupJson(image, {}))).kind, FileKind::Backup);
}

TEST(ConfigFiles, BadFilesAreRefusedWithTheProgramsWordsAndTheReason) {
    TempDir dir;
    const ConfigImage image = defaultConfigImage();
    const std::string scenes = areaBytes(image, ConfigArea::Scenes);

    const std::string shortFile = dir.file("short.sce", scenes.substr(0, 50));
    EXPECT_EQ(loadError(shortFile),
              shortFile + " :\nBłąd odczytu ! Plik ma 50 bajtów, a plik scen (.sce) ma 80.");
    // A settings file named as scenes: the name promises 80 bytes, the size says settings.
    const std::string misnamed = dir.file("misnamed.sce", areaBytes(image, ConfigArea::Settings));
    EXPECT_NE(loadError(misnamed).find("zły rodzaj pliku: ma 84 bajtów (tyle ma plik ustawień (.ust))"),
              std::string::npos);
    const std::string missing = dir.file("x", "") + "-missing.ust";
    EXPECT_EQ(loadError(missing), "Plik " + missing + " nie istnieje !");
    EXPECT_NE(loadError(dir.file("odd.bin", std::string(100, '\0'))).find("nieznany rodzaj pliku (100 bajtów"),
              std::string::npos);
    EXPECT_NE(loadError(dir.file("bad.json", "{\"format\": ")).find("uszkodzony JSON"), std::string::npos);
}

TEST(ConfigFiles, AreaFileMustMatchItsAreaAndABackupServesEveryArea) {
    TempDir dir;
    const ConfigImage image = defaultConfigImage();
    const ConfigFile scenes = loaded(dir.file("a.sce", areaBytes(image, ConfigArea::Scenes)));
    const ConfigFile program = loaded(dir.file("a.pg1", areaBytes(image, ConfigArea::Program1)));
    const ConfigFile backup = loaded(dir.file("a.json", writeBackupJson(image, {})));
    EXPECT_TRUE(checkFileForArea(scenes, ConfigArea::Scenes).ok);
    EXPECT_EQ(checkFileForArea(scenes, ConfigArea::Settings).error,
              scenes.path + " : zły rodzaj pliku: to plik scen (.sce), a obszar settings (ustawienia) "
                            "potrzebuje: plik ustawień (.ust)");
    EXPECT_TRUE(checkFileForArea(program, ConfigArea::Program2).ok);  // one format for both programs
    for (const AreaBlock& block : kAreaBlocks) EXPECT_TRUE(checkFileForArea(backup, block.area).ok);
}

TEST(ConfigFiles, ProgramFileReplacesStepsOneToTwelveOnly) {
    TempDir dir;
    ConfigImage fromFile = defaultConfigImage();
    for (int k = 0; k < kStepCount; ++k) fromFile.programs[1].steps[k].duration = 500;
    const ConfigFile file = loaded(dir.file("p.pg2", areaBytes(fromFile, ConfigArea::Program2)));

    ConfigImage controller = defaultConfigImage();
    controller.programs[1].endStep = 13;
    for (int k = 0; k < kStepCount; ++k) controller.programs[1].steps[k].duration = 7;
    const ConfigImage image = imageForArea(file, ConfigArea::Program2, controller);
    EXPECT_EQ(image.programs[1].steps[0].duration, 500);
    EXPECT_EQ(image.programs[1].steps[11].duration, 500);
    EXPECT_EQ(image.programs[1].steps[12].duration, 7);
    EXPECT_EQ(image.programs[1].steps[13].duration, 7);
    EXPECT_EQ(image.programs[1].endStep, 13);
}

TEST(ConfigText, ValuesReadWithTheirMeaning) {
    EXPECT_EQ(formatValue(128, ValueStyle::Level), "128 (50%)");
    EXPECT_EQ(formatValue(254, ValueStyle::Level), "254 (99%)");
    EXPECT_EQ(formatValue(3, ValueStyle::OperatingMode), "3 (Półautomat.)");
    EXPECT_EQ(formatValue(7, ValueStyle::OperatingMode), "7 (nieznany)");
    EXPECT_EQ(formatValue(2, ValueStyle::InputMode), "2 (Zawsze zał.)");
    EXPECT_EQ(formatValue(1, ValueStyle::Inverted), "1 (tak)");
    EXPECT_EQ(formatValue(4, ValueStyle::EndStep), "4 (scena 5)");
    EXPECT_EQ(formatValue(15, ValueStyle::EndStep), "15 (brak)");
    EXPECT_EQ(formatValue(14, ValueStyle::EndStep), "14 (poza zakresem)");
}

TEST(ConfigText, TablesShowLevelsInPercentAndRaw) {
    TempDir dir;
    ConfigImage image = defaultConfigImage();
    image.scenes[1].levels[4] = 128;
    image.scenes[1].riseTime = 999;
    const std::string scenes = showTable(loaded(dir.file("s.sce", areaBytes(image, ConfigArea::Scenes))));
    EXPECT_NE(scenes.find("\n    2    0%   0    0%   0    0%   0    0%   0   50% 128    0%   0    0%   0    0%   0         999\n"),
              std::string::npos)
        << scenes;

    image.common.operatingMode = 5;
    image.channels[7].reserved = 42;
    const std::string settings = showTable(loaded(dir.file("s.ust", areaBytes(image, ConfigArea::Settings))));
    EXPECT_NE(settings.find("Tryb pracy:        5 (Program 1)"), std::string::npos);
    EXPECT_NE(settings.find("\n    8    0%   0   39% 100           0        0         0           0 (nie)       42\n"),
              std::string::npos)
        << settings;
}

TEST(ConfigText, BackupTableShowsFourteenStepsAndMarksTheEndStep) {
    TempDir dir;
    ConfigImage image = defaultConfigImage();
    image.programs[0].endStep = 13;
    image.programs[1].endStep = kNoEndStep;
    image.programs[0].steps[13].duration = 4321;
    const std::string table = showTable(loaded(dir.file("b.json", writeBackupJson(image, {"2.07", ""}))));
    EXPECT_NE(table.find("Oprogramowanie sterownika: 2.07"), std::string::npos);
    EXPECT_NE(table.find("Program 1, scena kończąca: 13 (scena 14)"), std::string::npos);
    EXPECT_NE(table.find("Program 2, scena kończąca: 15 (brak)"), std::string::npos);
    EXPECT_NE(table.find("4321  <- kończąca\n"), std::string::npos) << table;
    EXPECT_EQ(table.find("<- kończąca"), table.rfind("<- kończąca"));  // program 2 has none
}

TEST(ConfigText, JsonOfAnAreaFileParsesAndHoldsTheValues) {
    TempDir dir;
    ConfigImage image = defaultConfigImage();
    image.programs[0].steps[11].levels[2] = 77;
    const std::string path = dir.file("p \"1\".pg1", areaBytes(image, ConfigArea::Program1));
    Json value = Json::parse(showJson(loaded(path)), nullptr, false);
    ASSERT_TRUE(value.is_object());
    EXPECT_EQ(value["file"], path);
    EXPECT_EQ(value["kind"], "program");
    ASSERT_EQ(value["steps"].size(), 12u);
    EXPECT_EQ(value["steps"][11]["levels"][2], 77);

    image.channels[0].reserved = 9;
    value = Json::parse(showJson(loaded(dir.file("u.ust", areaBytes(image, ConfigArea::Settings)))), nullptr, false);
    EXPECT_EQ(value["settings"]["channels"][0]["reserved"], 9);
}

TEST(ConfigText, JsonOfABackupReadsBackAsTheSameBackup) {
    TempDir dir;
    ConfigImage image = defaultConfigImage();
    image.programs[1].steps[13].levels[7] = 200;
    const std::string json = showJson(loaded(dir.file("b.json", writeBackupJson(image, {"1.05", ""}))));
    ConfigImage again = defaultConfigImage();
    BackupInfo info;
    const BackupLoadResult result = readBackupJson(json, again, info);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(again.programs[1].steps[13].levels[7], 200);
    EXPECT_EQ(info.firmware, "1.05");
    EXPECT_EQ(Json::parse(json, nullptr, false)["kind"], "backup");
}

TEST(ConfigText, DiffListsEveryDifferenceInOrderWithNames) {
    TempDir dir;
    ConfigImage a = defaultConfigImage(), b = defaultConfigImage();
    b.programs[0].endStep = 4;
    b.programs[1].steps[13].riseTime = 12;
    b.scenes[7].levels[0] = 255;
    b.channels[2].inputInverted = 1;
    const std::vector<FieldDifference> differences =
        diffFiles(loaded(dir.file("a.json", writeBackupJson(a, {}))), loaded(dir.file("b.json", writeBackupJson(b, {}))));
    std::vector<std::string> lines;
    for (const FieldDifference& d : differences) lines.push_back(formatDifference(d));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "kanał 3 inwersja wejścia: 0 (nie) <> 1 (tak)",
                         "scena 8 kanał 1: 0 (0%) <> 255 (100%)",
                         "program 1 scena kończąca: 0 (scena 1) <> 4 (scena 5)",
                         "program 2 scena 14 czas narastania: 0 <> 12",
                     }));
}

TEST(ConfigText, DiffOfSettingsFilesSeesTheReservedByte) {
    TempDir dir;
    ConfigImage a = defaultConfigImage(), b = defaultConfigImage();
    b.channels[5].reserved = 3;
    const auto differences = diffFiles(loaded(dir.file("a.ust", areaBytes(a, ConfigArea::Settings))),
                                       loaded(dir.file("b.ust", areaBytes(b, ConfigArea::Settings))));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(formatDifference(differences[0]), "kanał 6 bajt zarezerwowany: 0 <> 3");
}

TEST(VerificationLines, CompareAreaReportsEveryDifferenceInTheProgramsOrder) {
    ConfigImage controller = defaultConfigImage();
    controller.scenes[1].levels[4] = 127;
    controller.scenes[6].riseTime = 3;
    std::vector<uint8_t> payload(areaBlock(ConfigArea::Scenes).length);
    encodeAreaPayload(controller, ConfigArea::Scenes, payload.data());
    ConfigImage expected = defaultConfigImage();
    expected.scenes[1].levels[4] = 128;
    EXPECT_EQ(compareArea(ConfigArea::Scenes, payload.data(), expected),
              (std::vector<std::string>{"Błąd weryfikacji : scena 2 kanał 5 ( 128 <> 127 )",
                                        "Błąd weryfikacji czasu narastania : scena 7 ( 0 <> 3 )"}));
}

}  // namespace
}  // namespace kd215
