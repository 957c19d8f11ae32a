// A test double for the SQL Server back end, which cannot run here: it
// registers as "SQLOLEDB.1", records every statement that would reach the
// server and answers queries from scripted rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/provider.h"

namespace kb6::test {

RowSet Rows(std::vector<std::string> columns, std::vector<std::vector<Value>> rows);

class SqlServerRecordingDouble {
 public:
  // A query containing `needle` answers with `rows`; the first scripted match
  // wins, and an answer with a use count is dropped once used up. A query
  // without a match answers with no columns and no rows.
  void Answer(std::string needle, RowSet rows, int uses = -1);
  // A change containing `needle` reports `count` rows affected (default 1).
  void Affect(std::string needle, int64_t count, int uses = -1);
  void Register(ProviderRegistry& registry);

  // "Q: " for queries, "X: " for changes, in the order sent.
  std::vector<std::string> statements;

 private:
  friend class RecordingSession;
  struct Script {
    std::string needle;
    RowSet rows;
    int64_t count = 1;
    int uses = -1;
  };
  static Script* Find(std::vector<Script>& scripts, const std::string& sql);
  std::vector<Script> answers_;
  std::vector<Script> affects_;
};

// Compares a stream with tests/golden/sqlserver/<name>.txt, one statement per
// line; KB6_UPDATE_GOLDEN=1 rewrites the file instead (review the diff).
void ExpectGoldenStream(const std::string& name, const std::vector<std::string>& statements);

}  // namespace kb6::test
