// Inputs read from the paths a user names, and the names of files on this system.
#pragma once

#include <string>

#include "config/byte_buffer.h"
#include "records/config_files.h"

namespace kd215 {

// Reads an input whole, refusing at once what is not a regular file (a FIFO would block, a
// device never end). "" when read, else the message.
std::string readInputFile(const std::string& path, ByteBuffer& bytes);

// Reads a file and loads it as loadConfigBytes does.
FileLoadResult loadConfigFile(const std::string& path, ConfigFile& out);

// Whether two names reach one file: by identity when either exists, else by the folder's
// identity and the last part, so that "./a.json" and "a.json" are one file before it is made.
bool namesOneFile(const std::string& a, const std::string& b);

}  // namespace kd215
