#include "common/text.h"

#include <cctype>
#include <cstdio>

namespace kb6 {

std::string TrimBlanks(std::string_view s) { return std::string(TrimSet(s, kBlanks)); }

std::string ToUpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  return s;
}

namespace {

// ASCII case folding without the C library's locale look-up.
inline char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
  if (from.empty()) return s;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

std::string Pad2(int n) {
  // Dates format every field through here; two digits need no printf.
  if (n >= 0 && n <= 99) return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

size_t FindNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > haystack.size()) return std::string_view::npos;
  const char first = Fold(needle[0]);
  // A first character without case is found by the library's fast search.
  const bool caseless = first < 'a' || first > 'z';
  for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    if (caseless) {
      i = haystack.find(first, i);
      if (i == std::string_view::npos || i + needle.size() > haystack.size()) break;
    } else if (Fold(haystack[i]) != first) {
      continue;
    }
    size_t k = 1;
    while (k < needle.size() && Fold(haystack[i + k]) == Fold(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

size_t Utf8SequenceAt(std::string_view s, size_t i, char32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  const size_t length = lead < 0x80   ? 1
                        : lead < 0xC2 ? 0  // a continuation byte or an overlong lead
                        : lead < 0xE0 ? 2
                        : lead < 0xF0 ? 3
                        : lead < 0xF5 ? 4
                                      : 0;
  if (length == 0 || i + length > s.size()) return 0;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte(i + k) & 0x3F);
  }
  if (length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) return 0;
  if (length == 4 && (c < 0x10000 || c > 0x10FFFF)) return 0;
  cp = c;
  return length;
}

}  // namespace kb6
