// The Access-dialect translation for SQLite: never crashes, gives what the
// translation without kept shapes gives, and every quoted text (in either
// kind of quotes) arrives with the same content.
#include "db/access_dialect.h"
#include "db/access_translation.h"
#include "db/provider.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in = kb6::fuzz::AsText(data, size);
  std::string out;
  try {
    out = kb6::TranslateAccessToSqlite(in);
  } catch (const kb6::DbError&) {
    return 0;  // refused, as a statement SQLite could not take
  }
  // The kept statement shapes change nothing.
  if (out != kb6::TranslateAccessToSqliteDirectly(in)) kb6::fuzz::Fail("shape differs", in, out);
  if (kb6::fuzz::EndsInOpenLiteral(in)) return 0;
  // "#" delimits dates in Access only; texts near one are read differently
  // by the two dialects, so such inputs are checked for crashes alone.
  if (in.find('#') != std::string_view::npos) return 0;
  if (kb6::fuzz::TextLiterals(in, true) != kb6::fuzz::TextLiterals(out, true))
    kb6::fuzz::Fail("a quoted text changed", in, out);
  return 0;
}
