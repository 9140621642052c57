// Text from outside (file names, backup fields, a damaged file's bytes) made fit to show, and counted.
#pragma once

#include <string>

namespace kd215 {

// `text` with every byte that is not part of a valid UTF-8 character, and every control character
// but tab and newline, replaced by U+FFFD: a page declared UTF-8, or a terminal, shows it as it is
// and nothing in it acts on the display.
std::string printableText(const std::string& text);

// The characters of UTF-8 text, as columns on a terminal or widths on a page count them: every
// byte but a continuation byte starts one.
std::size_t characterCount(const std::string& text);

// `text` without the spaces, tabs and carriage returns at either end (a line typed in a list, a
// line a command said).
std::string trimmed(const std::string& text);

}  // namespace kd215
