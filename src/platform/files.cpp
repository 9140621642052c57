// What the file functions of both systems share: stage and commit in one call, the failures' words.
#include "platform/files.h"

namespace kd215 {

const char* const kFileOpenFailedText = "Błąd otwarcia pliku !";

std::string fileMissingText(const std::string& path) { return "Plik " + path + " nie istnieje !"; }
std::string fileReadFailedText(const std::string& path) { return path + " :\nBłąd odczytu !"; }
std::string fileWriteFailedText(const std::string& path) { return path + " :\nBłąd zapisu !"; }

bool replaceFile(const std::string& path, const std::string& bytes, bool flush, FileError& error) {
    StagedFile staged;
    return stageFile(path, bytes, flush, staged, error) && commitStagedFile(staged, error);
}

}  // namespace kd215
