// Small text helpers shared by the database module and the jobs. Case
// folding is ASCII only, as the statement words and keys are.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kb6 {

// The character sets that are trimmed from the ends of texts.
inline constexpr std::string_view kBlanks = " ";
inline constexpr std::string_view kBlanksAndTabs = " \t";
inline constexpr std::string_view kBlanksTabsAndLineBreaks = " \t\r\n";
inline constexpr std::string_view kWhitespace = " \t\n\v\f\r";  // std::isspace

// `s` without the characters of `set` at either end. Inline and without a
// library search per character: the regional parsers trim every value.
inline std::string_view TrimSet(std::string_view s, std::string_view set) {
  auto in_set = [set](char c) {
    for (char x : set)
      if (x == c) return true;
    return false;
  };
  while (!s.empty() && in_set(s.front())) s.remove_prefix(1);
  while (!s.empty() && in_set(s.back())) s.remove_suffix(1);
  return s;
}
// Removes blanks (" ", not tabs) at both ends.
std::string TrimBlanks(std::string_view s);
std::string ToUpperAscii(std::string s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Position of the first `needle` in `haystack` compared without case, or npos.
size_t FindNoCase(std::string_view haystack, std::string_view needle);
std::string ReplaceAll(std::string s, std::string_view from, std::string_view to);
// Two digits, zero-padded: 7 gives "07".
std::string Pad2(int n);
// The length (1 to 4) of the well-formed UTF-8 sequence at s[i], its code
// point in `cp`; 0 where none starts (a stray or missing continuation byte,
// an overlong form, a surrogate, a value past U+10FFFF).
size_t Utf8SequenceAt(std::string_view s, size_t i, char32_t& cp);

// The pieces one after another, in one allocation: statements built in loops
// would otherwise allocate once per "+".
inline std::string Concat(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view p : pieces) size += p.size();
  std::string out;
  out.reserve(size);
  for (std::string_view p : pieces) out.append(p);
  return out;
}

}  // namespace kb6
