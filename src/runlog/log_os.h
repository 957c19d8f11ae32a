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
// When it returns false and `cause` is given, *cause says why (German).
// Never throws.
bool EnsureDirectory(const std::string& path, bool create, std::string* cause = nullptr);

// Appends `line` and CR LF to `file` (created when missing) in one write, so
// that concurrent writers never interleave inside a line. Only a regular file
// (or a link to one) is written; a FIFO, device or folder of that name is left
// alone without blocking. A line is written whole or not at all: a write that
// stops short (a full disk) is cut back to where the line started. False
// when nothing was written, with the reason (German) in *cause when given.
// Never throws.
bool AppendLogLine(const std::string& file, const std::string& line, std::string* cause = nullptr);

// A random (version 4) GUID in registry form, upper case, 38 characters; ""
// when no random bytes could be had. Never throws.
std::string NewGuidString();

}  // namespace kb6
