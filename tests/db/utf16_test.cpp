// The UTF-8/UTF-16 conversion at the ODBC API: texts come back as they went,
// and what is not text becomes U+FFFD instead of breaking the conversion.
#include "db/odbc/utf16.h"

#include <gtest/gtest.h>

namespace kb6::test {
namespace {

TEST(Utf16, WhatIsNotTextBecomesReplacementCharacters) {
  const struct {
    std::string utf8;
    std::u16string utf16;
  } bad_utf8[] = {
      {"a\xff!", u"a\xfffd!"},
      {"\xc3", u"\xfffd"},                                // cut off
      {"\xc0\xaf", u"\xfffd\xfffd"},                      // overlong "/"
      {"\xed\xa0\x80", u"\xfffd\xfffd\xfffd"},            // a surrogate in UTF-8
      {"\xf4\x90\x80\x80", u"\xfffd\xfffd\xfffd\xfffd"},  // past U+10FFFF
  };
  for (const auto& c : bad_utf8) EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16);
  EXPECT_EQ(Utf8FromUtf16(u"a\xd800"), "a\xef\xbf\xbd");  // lone high surrogate
  EXPECT_EQ(Utf8FromUtf16(u"\xdc00x"), "\xef\xbf\xbdx");  // lone low surrogate
}

}  // namespace
}  // namespace kb6::test
