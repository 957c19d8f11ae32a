// The query rewrite of OpenRecordset: never crashes or fails, and no
// quoted text is altered (argument order may change, the texts not).
#include "db/sqlserver_rewrite.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(kb6::fuzz::AsText(data, size));
  const std::string out = kb6::ConvertQueryForSQLServer(in);
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
