// UTF-8 inside the program, UTF-16 or the ANSI code page at the Win32 API.
#pragma once

#include <string>

namespace kb6 {

// Invalid UTF-8 becomes U+FFFD; never throws beyond std::bad_alloc.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// The system's ANSI code page; characters it lacks become its default character.
std::string AnsiFromUtf8(const std::string& text);

}  // namespace kb6
