// The UTF-8/UTF-16 conversion at the ODBC API: texts come back as they went,
// and what is not text becomes U+FFFD instead of breaking the conversion.
#include "db/odbc/utf16.h"

#include <gtest/gtest.h>

#include <utility>

namespace kb6::test {
namespace {

TEST(Utf16, WhatIsNotTextBecomesReplacementCharacters) {
  const std::pair<std::string, std::u16string> bad_utf8[] = {
      {"a\xff!", u"a\xfffd!"},
      {"\xc3", u"\xfffd"},                                // cut off
      {"\xc0\xaf", u"\xfffd\xfffd"},                      // overlong "/"
      {"\xed\xa0\x80", u"\xfffd\xfffd\xfffd"},            // a surrogate in UTF-8
      {"\xf4\x90\x80\x80", u"\xfffd\xfffd\xfffd\xfffd"},  // past U+10FFFF
  };
  for (const auto& [utf8, utf16] : bad_utf8) EXPECT_EQ(Utf16FromUtf8(utf8), utf16);
  EXPECT_EQ(Utf8FromUtf16(u"a\xd800"), "a\xef\xbf\xbd");  // lone high surrogate
  EXPECT_EQ(Utf8FromUtf16(u"\xdc00x"), "\xef\xbf\xbdx");  // lone low surrogate
}

}  // namespace
}  // namespace kb6::test
