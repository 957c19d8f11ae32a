// The statement rewrite inside ExecuteSQL: never crashes, and no quoted
// text of the statement reaches the server altered.
#include "common/value.h"
#include "db/sqlserver_rewrite.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(kb6::fuzz::AsText(data, size));
  std::string out;
  try {
    out = kb6::RewriteStatementForSqlServer(in);
  } catch (const kb6::RuntimeError&) {
    return 0;  // a WHERE before SET: the statement is not run
  }
  const std::string before = kb6::fuzz::HashesHidden(in), after = kb6::fuzz::HashesHidden(out);
  if (kb6::fuzz::EndsInOpenLiteral(before)) return 0;
  // Like the server, the rewrites know no quotes inside "[name]"; the
  // tokenizer does, so such inputs are checked for crashes alone.
  if (before.find('[') != std::string::npos) return 0;
  // Texts may be repeated (the joined UPDATE form) or dropped with surplus
  // arguments (INSTR), but never altered or made up.
  if (!kb6::fuzz::Within(kb6::fuzz::TextLiterals(after, true),
                         kb6::fuzz::TextLiterals(before, true)))
    kb6::fuzz::Fail("a quoted text changed", in, out);
  return 0;
}
