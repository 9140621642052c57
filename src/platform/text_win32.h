// The one place where text crosses between the program's UTF-8 and Windows' UTF-16.
#pragma once

#include <string>

namespace kd215 {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

}  // namespace kd215
