// What the file functions of both systems share: stage and commit in one call, the failures' words.
#include "platform/files.h"

#include "platform/interrupts.h"

namespace kd215 {

const char* const kFileOpenFailedText = "Błąd otwarcia pliku !";
const char* const kFileReadFailedText = "Błąd odczytu !";

std::string fileMissingText(const std::string& path) { return "Plik " + path + " nie istnieje !"; }
std::string fileReadFailedText(const std::string& path) { return path + " :\n" + kFileReadFailedText; }
std::string fileWriteFailedText(const std::string& path) { return path + " :\nBłąd zapisu !"; }

bool replaceFile(const std::string& path, const ByteBuffer& bytes, bool flush, FileError& error) {
    StagedFile staged;
    return stageFile(path, bytes, flush, staged, error) && commitStagedFile(staged, error);
}

bool replaceFiles(const std::vector<std::pair<std::string, ByteBuffer>>& files, bool flush, FileSetFailure& failure) {
    failure = FileSetFailure{};
    std::vector<StagedFile> staged(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!stageFile(files[i].first, files[i].second, flush, staged[i], failure.error)) {
            for (std::size_t j = 0; j < i; ++j) discardStagedFile(staged[j]);
            failure.failed = i;
            return false;
        }
    }
    const InterruptGuard renaming;
    bool ok = true;
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (ok && !commitStagedFile(staged[i], failure.error)) {
            ok = false;
            failure.failed = i;
            failure.committed = i;
        }
        discardStagedFile(staged[i]);  // nothing once committed
    }
    return ok;
}

}  // namespace kd215
