// KB6TRAY --check [--fix]: the club file of the embedded default, checked.
#pragma once

#include <ostream>
#include <string>

namespace kb6::check {

// Exit code: 0 nothing found, 1 something found (after --fix: something
// left), 2 the file could not be read or the fix could not be written.
// Without `fix` the file is opened read-only.
int RunCheck(const std::string& path, bool fix, std::ostream& out, std::ostream& err);

}  // namespace kb6::check
