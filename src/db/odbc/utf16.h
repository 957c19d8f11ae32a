// The texts of ODBC's wide functions: UTF-16 at the API, UTF-8 everywhere
// else in the process. Neither direction fails: what is not text (a stray
// byte, a lone surrogate) becomes U+FFFD.
#pragma once

#include <string>

namespace kb6 {

std::u16string Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const std::u16string& text);

}  // namespace kb6
