// What the run log asks of the operating system: a folder, a line appended to
// a file, a fresh GUID. Each platform has its own definitions in
// src/platform/<platform>/, chosen at link time, so the run log itself stays
// free of system headers.
#pragma once

#include <string>

namespace kb6 {

// The separator of the platform's paths ('/' or '\').
extern const char kPathSeparator;

// True when the folder exists afterwards; creates missing parents when asked.
// Never throws.
bool EnsureDirectory(const std::string& path, bool create);

// Appends `line` and CR LF to `file` (created when missing) in one write, so
// that concurrent writers never interleave inside a line. Only a regular file
// (or a link to one) is written; a FIFO, device or folder of that name is left
// alone without blocking. Best effort: false when nothing was written. Never
// throws.
bool AppendLogLine(const std::string& file, const std::string& line);

// A random (version 4) GUID in registry form, upper case, 38 characters; ""
// when no random bytes could be had. Never throws.
std::string NewGuidString();

}  // namespace kb6
