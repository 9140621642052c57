// The byte layouts of the area files (.ust 84, .sce 80, .pg1/.pg2 144 bytes) and what a load does.
#pragma once

#include <cstddef>
#include <cstdint>
#include "config/byte_buffer.h"
#include "config/config_image.h"

namespace kd215 {

// Bytes of the file of a data area (84, 80, 144), 0 for any other area.
std::size_t areaFileSize(ConfigArea area);

// The file contents of the area's part of the image.
ByteBuffer encodeAreaFile(const ConfigImage& image, ConfigArea area);

// Loads file bytes into the area's part of the image. The area decides how the bytes are read,
// not the file's kind; bytes past the area's size are ignored. A file shorter than the area
// loads nothing and returns false: the image is left exactly as it was.
bool decodeAreaFile(const ByteBuffer& bytes, ConfigArea area, ConfigImage& image);

}  // namespace kd215
