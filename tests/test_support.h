// Shared test fixtures: temporary folders, real club databases on disk and a
// progress recorder that does not wait.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "club_generator.h"
#include "common/clock.h"
#include "common/dates.h"
#include "common/regional.h"
#include "db/database.h"
#include "db/sqlite_provider.h"
#include "jobs/progress.h"
#include "runlog/run_log.h"

namespace kb6::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
// A log file's text as UTF-8: the file is UTF-8 on Linux and in the ANSI code
// page on Windows (tests/windows/log_text_windows.cpp).
std::string Utf8FromLogText(const std::string& text);
double Day(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0);

// A direct SQLite handle for arranging and inspecting a test database.
class RawDb {
 public:
  explicit RawDb(const std::string& path);
  ~RawDb();
  void Exec(const std::string& sql);
  // First column of the first row as text ("NULL" for Null, "" for no row).
  std::string One(const std::string& sql);
  std::vector<std::string> Column(const std::string& sql) { return Query(sql, false, "NULL"); }
  // Each row's columns joined by '|', a Null as "-".
  std::vector<std::string> Rows(const std::string& sql) { return Query(sql, true, "-"); }
  std::string Row(const std::string& sql) { return Rows(sql).at(0); }

 private:
  std::vector<std::string> Query(const std::string& sql, bool all_columns, const std::string& null);
  sqlite3* db_ = nullptr;
};

// A tmpfs mounted on `path` for the test's lifetime; mounted() is false
// where mounting is not allowed (CI runs the tests as root).
class ScopedTmpfs {
 public:
  ScopedTmpfs(const std::string& path, const std::string& size);
  ~ScopedTmpfs();
  bool mounted() const { return mounted_; }
  bool RemountReadOnly();

 private:
  std::string path_, size_;
  bool mounted_ = false;
};

struct ProgressRecorder final : ProgressSink {
  std::vector<std::pair<std::string, std::string>> events;
  void SetTrayText(const std::string& text, const std::string& tag) override {
    events.emplace_back(text, tag);
  }
};

// A club database built from the schema, with the monitor's database layer
// and run log connected to it. Today is 06.12.2026 10:30 unless set.
class ClubTest : public ::testing::Test {
 protected:
  ClubTest();
  void SetUp() override;
  std::vector<std::string> LogLines();

  TempDir dir;
  std::string db_path;
  FixedClock clock{Day(2026, 12, 6, 10, 30)};
  RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  ProviderRegistry providers;
  std::unique_ptr<Database> db;
  std::unique_ptr<RunLog> log;
  std::unique_ptr<RawDb> raw;
};

}  // namespace kb6::test
