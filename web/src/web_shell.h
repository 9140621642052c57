// What the page's other bindings share with its shell: the one image the program holds.
#pragma once

#include <string>

#include "config/config_image.h"

namespace kd215 {

enum class EditorKind : int { CommonSettings = 0, Channels = 1, SceneProgram = 2 };

// The PC copy every editor, file and report works on.
ConfigImage& pageImage();
// "\tFW : 1.05", or "\tFW : N/A" before the controller answered.
std::string pageFirmwareText();

}  // namespace kd215
