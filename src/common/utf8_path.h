// File-system paths from the UTF-8 texts used inside: on Windows the path
// is then the UTF-16 one, so that any character reaches the system (a
// narrow path would go through the ANSI code page and lose what it lacks).
#pragma once

#include <filesystem>
#include <string>

namespace kb6 {

inline std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace kb6
