// The running executable's own path, in full and in UTF-16, whatever its
// length or characters.
#pragma once

#include <string>

namespace kb6 {

std::wstring ExecutablePath();

}  // namespace kb6
