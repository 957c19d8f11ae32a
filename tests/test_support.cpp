#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace kb6::test {

TempDir::TempDir() {
  // create_directory reports whether it made the folder, so a name another
  // test drew at the same time is never shared.
  static std::mt19937_64 random{std::random_device{}()};
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = base / ("kb6test-" + std::to_string(random() % 1000000000));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

#ifndef _WIN32
std::string Utf8FromLogText(const std::string& text) { return text; }
#endif

double Day(int y, int m, int d, int hh, int mm, int ss) {
  return SerialFromCivil({y, m, d, hh, mm, ss});
}

RawDb::RawDb(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open " + path);
  sqlite3_busy_timeout(db_, 5000);
}

RawDb::~RawDb() { sqlite3_close(db_); }

void RawDb::Exec(const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "";
    sqlite3_free(err);
    throw std::runtime_error(msg + " in: " + sql);
  }
}

std::vector<std::string> RawDb::Query(const std::string& sql, bool all_columns,
                                      const std::string& null) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
  std::vector<std::string> out;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < (all_columns ? sqlite3_column_count(st) : 1); ++i) {
      const unsigned char* t = sqlite3_column_text(st, i);
      row += (i ? "|" : "") + (t ? std::string(reinterpret_cast<const char*>(t)) : null);
    }
    out.push_back(row);
  }
  sqlite3_finalize(st);
  return out;
}

std::string RawDb::One(const std::string& sql) {
  auto c = Column(sql);
  return c.empty() ? "" : c.front();
}

#ifndef _WIN32
ScopedTmpfs::ScopedTmpfs(const std::string& path, const std::string& size)
    : path_(path), size_("size=" + size) {
  std::filesystem::create_directories(path_);
  mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size_.c_str()) == 0;
}

ScopedTmpfs::~ScopedTmpfs() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

bool ScopedTmpfs::RemountReadOnly() {
  return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, size_.c_str()) == 0;
}
#endif

ClubTest::ClubTest() { RegisterSqliteProvider(providers); }

void ClubTest::SetUp() {
  db_path = dir.File("club.db");
  CreateEmptyClubDatabase(db_path);
  settings.AccessDatenbank = db_path;
  settings.SQLServer_Host = "lokal";
  settings.Datenpfad = dir.path();
  db = std::make_unique<Database>(settings, regional, clock, providers);
  log = std::make_unique<RunLog>(settings, *db, regional, clock, dir.path(), "KB6TRAY");
  raw = std::make_unique<RawDb>(db_path);
  ASSERT_TRUE(db->OpenDatabase()) << db->LastConnectError();
}

std::vector<std::string> ClubTest::LogLines() {
  const std::string text = Utf8FromLogText(ReadFile(log->LogFilePath()));
  std::vector<std::string> lines;
  for (size_t start = 0, at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  return lines;
}

}  // namespace kb6::test
