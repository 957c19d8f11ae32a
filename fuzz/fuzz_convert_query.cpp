// The query rewrite of OpenRecordset: never crashes or fails, and no
// quoted text is altered (argument order may change, the texts not).
#include "db/sqlserver_rewrite.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(kb6::fuzz::AsText(data, size));
  const std::string out = kb6::ConvertQueryForSQLServer(in);
  kb6::fuzz::ExpectSqlServerTextsKept(in, out);
  return 0;
}
