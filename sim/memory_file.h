// The --memory file: the controller's 512 bytes on disk, loaded at start and replaced atomically.
#pragma once

#include <string>

#include "link/controller_model.h"

namespace kd215 {

enum class MemoryFileLoad { Loaded, Created, Failed };

// Loads the file into `memory`. A missing file is created holding `memory` as it is (the default);
// a file of another size or one that cannot be read fails with `error` and leaves `memory` alone.
MemoryFileLoad loadOrCreateMemoryFile(const std::string& path, SimMemory& memory,
                                      std::string& error);

// Loads an existing file; on failure `memory` is untouched.
bool loadMemoryFile(const std::string& path, SimMemory& memory, std::string& error);

// Replaces the file by way of a temporary file in the same folder (written, renamed), so a reader
// sees either the old memory or the new, never a mixture.
bool saveMemoryFile(const std::string& path, const SimMemory& memory, std::string& error);

// Makes the last save durable (the file and the rename in its folder). Kept apart from the save
// because a sync can take hundreds of milliseconds on a busy disk, and the acknowledgement that
// follows a save must reach the PC well inside its 720 ms.
void syncMemoryFile(const std::string& path);

}  // namespace kd215
