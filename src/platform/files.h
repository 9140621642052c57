// Whole-file reads and atomic whole-file replacement, one implementation per platform
// (files_posix.cpp, files_win32.cpp), shared by the program, kd215ctl and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/byte_buffer.h"

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
    // What stands in the target's place when it is not a regular file ("katalog", "potok FIFO"):
    // renaming over it would replace a device or a folder, so it is refused before anything is made.
    std::string notRegular;
};

// The folder a file name is in ("." for a bare name; a root such as / or C:\ kept whole) and its
// last part, by this system's separators (kPathSeparators).
std::string folderOfPath(const std::string& path);
std::string lastPartOfPath(const std::string& path);

// A file as the system knows it, whatever name reaches it (symbolic links followed): two names
// of one file have equal identities.
struct FileIdentity {
    bool exists = false;
    uint64_t volume = 0;
    uint64_t index = 0;
};
FileIdentity fileIdentity(const std::string& path);
inline bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.exists && b.exists && a.volume == b.volume && a.index == b.index;
}
// "katalog", "urządzenie znakowe", ... for what exists at `path` and is not a regular file; ""
// for a regular file or nothing at all.
std::string nonRegularKind(const std::string& path);

// Writes `bytes` to a new temporary file in the target's folder (so that the move into place is
// a rename on one volume) and, with `flush`, onto the disk. On failure nothing is left behind.
// A target that exists keeps its mode; one a plain write would refuse (read-only to this user,
// someone else's, not a regular file) is refused here too, so the rename never widens access.
bool stageFile(const std::string& path, const ByteBuffer& bytes, bool flush, StagedFile& staged, FileError& error);
// Moves the staged file over its target in one step; on failure the temporary file is removed
// and the target is as it was.
bool commitStagedFile(StagedFile& staged, FileError& error);
// Removes a staged file that will not be committed.
void discardStagedFile(StagedFile& staged);
// Stage and commit: a reader sees the old file or the new one, never a mixture.
bool replaceFile(const std::string& path, const ByteBuffer& bytes, bool flush, FileError& error);

// Where writing a set of files stopped: the file that failed, and how many before it are already
// new (the rest are as they were).
struct FileSetFailure {
    std::size_t failed = 0;
    std::size_t committed = 0;
    FileError error;
};
// Several files, all or none: every one is staged before any is moved into place, so a file that
// cannot be written leaves all the others as they were. The renames run under an InterruptGuard
// (platform/interrupts.h), so an interruption waits for the last of them.
bool replaceFiles(const std::vector<std::pair<std::string, ByteBuffer>>& files, bool flush, FileSetFailure& failure);
// Removes every temporary file this process has staged and not yet committed; safe to call from a
// signal handler, which then ends the process without leaving them behind. Threads may stage,
// commit and discard files side by side: the table of temporaries takes care of itself.
void removeStagedTemporaries();
enum class FileReadStatus { Ok, Missing, OpenFailed, ReadFailed };
// Reads up to `limit` bytes from the start of the file; a shorter file is the caller's to judge.
FileReadStatus readFileBytes(const std::string& path, std::size_t limit, ByteBuffer& bytes);
bool isDirectory(const std::string& path);
// Opens a file for appending text (a log); nullptr when it cannot.
std::FILE* openForAppend(const std::string& path);

// The words both programs use for a file that fails them.
std::string fileMissingText(const std::string& path);      // "Plik PATH nie istnieje !"
extern const char* const kFileOpenFailedText;               // "Błąd otwarcia pliku !"
extern const char* const kFileReadFailedText;               // "Błąd odczytu !"
std::string fileReadFailedText(const std::string& path);   // "PATH :\nBłąd odczytu !"
std::string fileWriteFailedText(const std::string& path);  // "PATH :\nBłąd zapisu !"

// The system's own words for an error code from FileError or a port.
std::string systemErrorText(uint32_t code);

}  // namespace kd215
