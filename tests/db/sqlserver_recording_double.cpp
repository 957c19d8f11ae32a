#include "db/sqlserver_recording_double.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace kb6::test {

RowSet Rows(std::vector<std::string> columns, std::vector<std::vector<Value>> rows) {
  return RowSet{std::move(columns), std::move(rows)};
}

class RecordingSession final : public ProviderSession {
 public:
  explicit RecordingSession(SqlServerRecordingDouble& owner) : owner_(owner) {}
  int64_t Execute(const std::string& sql) override {
    owner_.statements.push_back("X: " + sql);
    auto* s = SqlServerRecordingDouble::Find(owner_.affects_, sql);
    return s ? s->count : 1;
  }
  void Query(const std::string& sql, RowSet& out) override {
    owner_.statements.push_back("Q: " + sql);
    auto* s = SqlServerRecordingDouble::Find(owner_.answers_, sql);
    out = s ? s->rows : RowSet{};
  }

 private:
  SqlServerRecordingDouble& owner_;
};

void SqlServerRecordingDouble::Answer(std::string needle, RowSet rows, int uses) {
  answers_.push_back({std::move(needle), std::move(rows), 0, uses});
}

void SqlServerRecordingDouble::Affect(std::string needle, int64_t count, int uses) {
  affects_.push_back({std::move(needle), {}, count, uses});
}

SqlServerRecordingDouble::Script* SqlServerRecordingDouble::Find(std::vector<Script>& scripts,
                                                                 const std::string& sql) {
  for (auto& s : scripts) {
    if (s.uses == 0 || sql.find(s.needle) == std::string::npos) continue;
    if (s.uses > 0) --s.uses;
    return &s;
  }
  return nullptr;
}

void SqlServerRecordingDouble::Register(ProviderRegistry& registry) {
  registry.Register("SQLOLEDB.1", [this](const ConnectionAttributes&) {
    return std::make_unique<RecordingSession>(*this);
  });
}

void ExpectGoldenStream(const std::string& name, const std::vector<std::string>& statements) {
  const std::string path = std::string(KB6_GOLDEN_DIR) + "/sqlserver/" + name + ".txt";
  std::string actual;
  for (const auto& s : statements) actual += s + "\n";
  if (const char* update = std::getenv("KB6_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "no golden stream " << path << " (KB6_UPDATE_GOLDEN=1 writes it)";
  std::stringstream expected;
  expected << in.rdbuf();
  if (expected.str() == actual) return;
  std::istringstream e(expected.str()), a(actual);
  std::string el, al;
  for (int line = 1;; ++line) {
    const bool he = static_cast<bool>(std::getline(e, el));
    const bool ha = static_cast<bool>(std::getline(a, al));
    if (!he && !ha) break;
    if (!he || !ha || el != al) {
      ADD_FAILURE() << path << ":" << line << " differs\n  golden: " << (he ? el : "<end>")
                    << "\n  actual: " << (ha ? al : "<end>");
      return;
    }
  }
}

}  // namespace kb6::test
