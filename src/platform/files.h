// Whole-file reads and atomic whole-file replacement, one implementation per platform
// (files_posix.cpp, files_win32.cpp), shared by the program, kd215ctl and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kd215 {

// A file written in full beside its target and not yet in its place.
struct StagedFile {
    std::string path;
    std::string tempPath;  // "" once committed or discarded
};

// Why a stage or commit failed: whether the temporary file could be made at all, and the
// system's error code (errno, or GetLastError on Windows).
struct FileError {
    bool created = false;
    uint32_t code = 0;
};

// Writes `bytes` to a new temporary file in the target's folder (so that the move into place is
// a rename on one volume) and, with `flush`, onto the disk. On failure nothing is left behind.
bool stageFile(const std::string& path, const std::string& bytes, bool flush, StagedFile& staged, FileError& error);
// Moves the staged file over its target in one step; on failure the temporary file is removed
// and the target is as it was.
bool commitStagedFile(StagedFile& staged, FileError& error);
// Removes a staged file that will not be committed.
void discardStagedFile(StagedFile& staged);
// Stage and commit: a reader sees the old file or the new one, never a mixture.
bool replaceFile(const std::string& path, const std::string& bytes, bool flush, FileError& error);

enum class FileReadStatus { Ok, Missing, OpenFailed, ReadFailed };
// Reads up to `limit` bytes from the start of the file; a shorter file is the caller's to judge.
FileReadStatus readFileBytes(const std::string& path, std::size_t limit, std::string& bytes);
bool isDirectory(const std::string& path);

// The words both programs use for a file that fails them.
std::string fileMissingText(const std::string& path);      // "Plik PATH nie istnieje !"
extern const char* const kFileOpenFailedText;               // "Błąd otwarcia pliku !"
std::string fileReadFailedText(const std::string& path);   // "PATH :\nBłąd odczytu !"
std::string fileWriteFailedText(const std::string& path);  // "PATH :\nBłąd zapisu !"

// The system's own words for an error code from FileError or a port.
std::string systemErrorText(uint32_t code);

}  // namespace kd215
