// The Access-to-SQLite translation keeps every quoted text, and a statement
// translated by the cached shape of another comes out as its own translation.
#include "db/access_dialect.h"
#include "db/access_shape.h"
#include "db/access_translation.h"
#include "db/provider.h"
#include "fuzz_support.h"

namespace {

// `key` with other literals in its placeholders.
std::string Sibling(const std::string& key) {
  static const char* const kNumbers[] = {"7", "2.5", "#1-2-2003 4:05#", "0.1", "#12-31-2026#"};
  std::string out;
  size_t n = 0;
  for (char c : key)
    out += c == '\x01'   ? "'s''ib'"
           : c == '\x02' ? "\"d\"\"q'\""
           : c == '\x03' ? kNumbers[n++ % 5]
                         : std::string(1, c);
  return out;
}

void CheckSibling(std::string_view in) {
  kb6::AccessShape shape;
  if (!kb6::ShapeAccessStatement(in, shape)) return;
  const auto translated = kb6::TranslateAccessShape(in, shape);
  if (!translated) return;
  const std::string sibling = Sibling(shape.key);
  kb6::AccessShape sibling_shape;
  if (!kb6::ShapeAccessStatement(sibling, sibling_shape) || sibling_shape.key != shape.key) return;
  // Resumed after the start the two share, the scan must end as the whole one.
  kb6::AccessShape resumed;
  if (!kb6::ShapeAccessStatement(sibling, resumed, &shape.prefix) || resumed.key != shape.key ||
      resumed.spans != sibling_shape.spans)
    kb6::fuzz::Fail("a resumed scan differs", sibling, resumed.key);
  const std::string text = kb6::TranslatedText(sibling, sibling_shape, *translated);
  if (text != kb6::TranslateAccessToSqlite(sibling))
    kb6::fuzz::Fail("a statement of the same shape translates otherwise", sibling, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in = kb6::fuzz::AsText(data, size);
  std::string out;
  try {
    out = kb6::TranslateAccessToSqlite(in);
  } catch (const kb6::DbError&) {
    return 0;  // refused, as a statement SQLite could not take
  }
  CheckSibling(in);
  if (kb6::fuzz::EndsInOpenLiteral(in)) return 0;
  // "#" delimits dates in Access only; texts near one are read differently
  // by the two dialects, so such inputs are checked for crashes alone.
  if (in.find('#') != std::string_view::npos) return 0;
  if (kb6::fuzz::TextLiterals(in) != kb6::fuzz::TextLiterals(out))
    kb6::fuzz::Fail("a quoted text changed", in, out);
  return 0;
}
