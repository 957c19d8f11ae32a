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
  kb6::fuzz::ExpectSqlServerTextsKept(in, out);
  return 0;
}
