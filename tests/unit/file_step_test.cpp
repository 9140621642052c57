// The file step: the chain through the four files, the names it offers, and a short file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "app/file_step.h"
#include "config/area_files.h"
#include "link/transfer_engine.h"
#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

// Files in memory; the dialogs answer from a script of chosen paths ("" cancels), then take
// what they offer, as a user pressing Enter does.
class MemoryFiles : public FileAccess {
public:
    std::map<std::string, ByteBuffer> files;
    std::vector<std::string> choices;
    std::vector<FileDialogRequest> requests;

    bool chooseFile(FileDialogRequest& request) override {
        requests.push_back(request);
        if (!choices.empty()) {
            request.path = choices.front();
            choices.erase(choices.begin());
        }
        if (request.path.empty()) return false;
        const auto dot = request.path.rfind('.');
        request.extensionOffset = dot == std::string::npos ? 0 : dot + 1;
        return true;
    }
    bool exists(const std::string& path) override { return files.count(path) != 0; }
    bool isReadOnly(const std::string&) override { return false; }
    bool writeWhole(const std::string& path, const ByteBuffer& bytes, FileError&) override {
        files[path] = bytes;
        return true;
    }
    FileReadStatus readStart(const std::string& path, std::size_t limit, ByteBuffer& bytes) override {
        const auto& all = files.at(path);
        bytes.assign(all.begin(), all.begin() + static_cast<long>(std::min(limit, all.size())));
        return FileReadStatus::Ok;
    }
};

class FileStep : public ::testing::Test {
protected:
    void SetUp() override {
        port.open_ = false;  // files need no port
        s.connect(port, ui);
    }
    // Starts the action as the menu does (one area, or all four) and runs the step to its end.
    void run(TransferAction action, ConfigArea area, bool all = false) {
        SelectAction(s.link, action);
        if (all) {
            beginAllAreas(s.link);
        } else {
            BeginAreaTransfer(s.link, area);
        }
        for (int i = 0; i < 10 && s.link.transferState == TransferState::FileTransfer; ++i) runFileStep(s, files, dialog);
        ASSERT_FALSE(transferActive(s.link));
    }
    fakes::ScriptedPort port;
    fakes::RecordingUi ui;
    MemoryFiles files;
    FileDialogState dialog;
    ProgramState s;
};

TEST_F(FileStep, TheChainOffersTheSameNameWithTheNextExtensionAndLoadsItBack) {
    s.image.scenes[2].levels[1] = 99;
    s.image.programs[1].steps[11].duration = 700;
    files.choices = {"C:\\x\\kd215.ust"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    ASSERT_EQ(files.requests.size(), 4u);
    EXPECT_EQ(files.requests[1].path, "C:\\x\\kd215.sce");
    EXPECT_EQ(files.requests[2].path, "C:\\x\\kd215.pg1");
    EXPECT_EQ(files.requests[3].path, "C:\\x\\kd215.pg2");
    EXPECT_EQ(files.requests[3].filterIndex, 3);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(s.link.chainAll);

    s.image = defaultConfigImage();
    files.choices = {"C:\\x\\kd215.ust"};
    run(TransferAction::ReadFromFile, ConfigArea::Settings, true);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.image.scenes[2].levels[1], 99);
    EXPECT_EQ(s.image.programs[1].steps[11].duration, 700);
}

TEST_F(FileStep, ANameWithoutExtensionIsExtendedNotOverwritten) {
    files.choices = {"C:\\x\\kopia"};
    run(TransferAction::WriteToFile, ConfigArea::Settings, true);
    EXPECT_TRUE(files.exists("C:\\x\\kopia.sce"));
    EXPECT_TRUE(files.exists("C:\\x\\kopia.pg2"));
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
