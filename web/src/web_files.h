// Files the page was given, held as bytes by name for the loaders that read a path.
#pragma once

#include <string>

#include "config/byte_buffer.h"
#include "platform/files.h"

namespace kd215 {

void holdFile(const std::string& name, ByteBuffer bytes);
void releaseFiles();

}  // namespace kd215
