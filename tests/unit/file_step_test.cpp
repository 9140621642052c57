// The file step: dialogs, failures with their texts, and the chain through the four files.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "app/file_step.h"
#include "config/area_files.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using testing::RecordingUi;
using testing::ScriptedPort;

// Files in memory; the dialogs answer from a script of chosen paths ("" cancels).
class MemoryFiles : public FileAccess {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    std::set<std::string> readOnly, unwritable;
    std::vector<std::string> choices;
    std::vector<FileDialogRequest> requests;

    bool chooseFile(FileDialogRequest& request) override {
        requests.push_back(request);
        if (choices.empty()) {
            // Take what the dialog offers, as a user pressing Enter does.
            if (request.path.empty()) return false;
        } else {
            const std::string choice = choices.front();
            choices.erase(choices.begin());
            if (choice.empty()) return false;
            request.path = choice;
        }
        const auto dot = request.path.rfind('.');
        request.extensionOffset = dot == std::string::npos ? 0 : dot + 1;
        return true;
    }
    bool exists(const std::string& path) override { return files.count(path) != 0; }
    bool isReadOnly(const std::string& path) override { return readOnly.count(path) != 0; }
    FileWriteResult writeWhole(const std::string& path, const std::vector<uint8_t>& bytes) override {
        if (unwritable.count(path)) return FileWriteResult::WriteFailed;
        files[path] = bytes;
        return FileWriteResult::Written;
    }
    FileReadResult readStart(const std::string& path, std::size_t limit,
                             std::vector<uint8_t>& bytes) override {
        const auto& all = files.at(path);
        bytes.assign(all.begin(), all.begin() + static_cast<long>(std::min(limit, all.size())));
        return FileReadResult::Read;
    }
};

class FileStep : public ::testing::Test {
protected:
    void SetUp() override {
        port.open_ = false;  // files need no port
        s.port = &port;
        s.ui = &ui;
    }
    // Starts the action on the area as the menu does and runs the step until it ends.
    void run(TransferAction action, ConfigArea area, bool all = false) {
        s.currentAction = action;
        if (all) {
            BeginAllAreas(s);
        } else {
            BeginAreaTransfer(s, area);
        }
        for (int i = 0; i < 10 && s.transferState == TransferState::FileTransfer; ++i) {
            RunFileStep(s, files, dialog);
        }
        ASSERT_FALSE(transferActive(s));
    }
    ScriptedPort port;
    RecordingUi ui;
    MemoryFiles files;
    FileDialogState dialog;
    ProgramState s;
};

TEST_F(FileStep, SavesEachAreaWithItsSizeAndLoadsItBack) {
    s.image.scenes[2].levels[1] = 99;
    s.image.programs[1].steps[11].duration = 700;
    s.image.channels[6].reserved = 5;
    files.choices = {"C:\\dane\\a.ust", "C:\\dane\\a.sce", "C:\\dane\\a.pg1", "C:\\dane\\a.pg2"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    EXPECT_EQ(files.files["C:\\dane\\a.ust"].size(), 84u);
    EXPECT_EQ(files.files["C:\\dane\\a.sce"].size(), 80u);
    EXPECT_EQ(files.files["C:\\dane\\a.pg2"].size(), 144u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(s.chainAll);
    EXPECT_EQ(ui.areaLabels.front(), "\tPlik");
    EXPECT_FALSE(ui.repeatEnabled);

    const ConfigImage saved = s.image;
    s.image = defaultConfigImage();
    files.choices = {"C:\\dane\\a.ust"};  // then Enter on each offered name
    run(TransferAction::ReadFromFile, ConfigArea::Settings, true);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(std::memcmp(&s.image.channels, &saved.channels, sizeof saved.channels), 0);
    EXPECT_EQ(s.image.scenes[2].levels[1], 99);
    EXPECT_EQ(s.image.programs[1].steps[11].duration, 700);
}

TEST_F(FileStep, TheChainOffersTheSameNameWithTheNextExtensionAndFilter) {
    files.choices = {"C:\\x\\kd215.ust"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    ASSERT_EQ(files.requests.size(), 4u);
    EXPECT_EQ(files.requests[0].title, "Wybierz plik do zapisu :");
    EXPECT_EQ(files.requests[1].path, "C:\\x\\kd215.sce");
    EXPECT_EQ(files.requests[2].path, "C:\\x\\kd215.pg1");
    EXPECT_EQ(files.requests[3].path, "C:\\x\\kd215.pg2");
    EXPECT_EQ(files.requests[1].filterIndex, 2);
    EXPECT_EQ(files.requests[2].filterIndex, 3);
    EXPECT_EQ(files.requests[3].filterIndex, 3);
    EXPECT_EQ(files.requests[3].defaultExtension, "pg2");
}

TEST_F(FileStep, ANameWithoutExtensionIsExtendedNotOverwritten) {
    EXPECT_EQ(replaceExtension("C:\\x\\kopia", 0, "sce"), "C:\\x\\kopia.sce");
    EXPECT_EQ(replaceExtension("C:\\x\\k.ust", 7, "pg1"), "C:\\x\\k.pg1");
    files.choices = {"C:\\x\\kopia"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    EXPECT_TRUE(files.exists("C:\\x\\kopia.sce"));
    EXPECT_TRUE(files.exists("C:\\x\\kopia.pg2"));
}

TEST_F(FileStep, CancelShowsNothingAndChangesNothing) {
    files.choices = {""};
    const ConfigImage before = s.image;
    run(TransferAction::ReadFromFile, ConfigArea::Settings, true);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.currentAction, TransferAction::NoAction);
    EXPECT_FALSE(s.chainAll);
    EXPECT_EQ(std::memcmp(&before, &s.image, sizeof before), 0);
}

TEST_F(FileStep, FailuresNameThePathAndStopTheChain) {
    files.files["C:\\ro.ust"] = {};
    files.readOnly = {"C:\\ro.ust"};
    files.choices = {"C:\\ro.ust"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "C:\\ro.ust :\nBrak dostępu do zapisu !");
    EXPECT_EQ(ui.messages[0].caption, "Niepowodzenie");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(s.chainAll);
    EXPECT_EQ(files.requests.size(), 1u);

    files.unwritable = {"C:\\full.sce"};
    files.choices = {"C:\\full.sce"};
    run(TransferAction::WriteToFile, ConfigArea::Scenes);
    EXPECT_EQ(ui.messages.back().text, "C:\\full.sce :\nBłąd zapisu !");

    files.choices = {"C:\\brak.pg1"};
    run(TransferAction::ReadFromFile, ConfigArea::Program1);
    EXPECT_EQ(ui.messages.back().text, "Plik C:\\brak.pg1 nie istnieje !");
    EXPECT_EQ(ui.messages.back().caption, "Ostrzeżenie");
    EXPECT_EQ(ui.messages.back().icon, MessageIcon::Error);
}

TEST_F(FileStep, AShortFileLoadsNothing) {
    files.files["C:\\s.sce"] = encodeAreaFile(s.image, ConfigArea::Scenes);
    s.image.channels[7].fallTime = 444;
    const ConfigImage before = s.image;
    files.choices = {"C:\\s.sce"};
    run(TransferAction::ReadFromFile, ConfigArea::Settings);  // 80 bytes for an 84-byte area
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "C:\\s.sce :\nBłąd odczytu !");
    EXPECT_EQ(std::memcmp(&before, &s.image, sizeof before), 0);
}

}  // namespace
}  // namespace kd215
