// Small text helpers shared by the database module and the jobs. Case
// folding is ASCII only, as the statement words and keys are.
#pragma once

#include <string>
#include <string_view>

namespace kb6 {

// Removes blanks (" ", not tabs) at both ends.
std::string TrimBlanks(std::string_view s);
std::string ToUpperAscii(std::string s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Position of the first `needle` in `haystack` compared without case, or npos.
size_t FindNoCase(std::string_view haystack, std::string_view needle);
std::string ReplaceAll(std::string s, std::string_view from, std::string_view to);
// Two digits, zero-padded: 7 gives "07".
std::string Pad2(int n);

}  // namespace kb6
