// Two processes draw keys from the same SATZZAEHLER row at the same time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <set>

#include "reliability/reliability_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

constexpr int kKeysEach = 2000;

// In a child: waits for the start signal, draws kKeysEach keys through the
// database module and writes them, one per line, to `out`. A draw that
// yields 0 (the counter could not be had) is retried.
[[noreturn]] void DrawKeys(const std::string& db_path, int start_fd, const std::string& out) {
  char go = 0;
  (void)!read(start_fd, &go, 1);
  FixedClock clock{Day(2026, 12, 6, 10, 30)};
  const RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  settings.AccessDatenbank = db_path;
  settings.SQLServer_Host = "lokal";
  ProviderRegistry providers;
  RegisterSqliteProvider(providers);
  {
    Database db(settings, regional, clock, providers);
    if (!db.OpenDatabase()) _exit(2);
    std::ofstream file(out);
    for (int drawn = 0; drawn < kKeysEach;) {
      const int32_t key = db.GetNextID("ADRESSEN", "ADR_INR");
      if (key != 0) {
        file << key << "\n";
        ++drawn;
      }
    }
  }
  _exit(0);
}

TEST(Reliability, TwoProcessesDrawDistinctKeysFromOneCounter) {
  TempDir dir;
  const std::string path = dir.File("club.db");
  CreateEmptyClubDatabase(path);
  {
    RawDb db(path);
    db.Exec("PRAGMA journal_mode=WAL");
    db.Exec(
        "INSERT INTO SATZZAEHLER (ID, TABELLE, FELD, WERT) VALUES (1, 'ADRESSEN', "
        "'ADR_INR', 1000)");
  }
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t children[2];
  for (int i = 0; i < 2; ++i) {
    children[i] = fork();
    if (children[i] == 0) {
      close(start[1]);
      DrawKeys(path, start[0], dir.File("keys" + std::to_string(i)));
    }
  }
  close(start[0]);
  close(start[1]);  // both children start now
  for (pid_t c : children) {
    int status = 0;
    waitpid(c, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<int32_t> keys, per_child[2];
  int drawn = 0;
  for (int i = 0; i < 2; ++i) {
    std::ifstream in(dir.File("keys" + std::to_string(i)));
    for (int32_t key; in >> key; ++drawn) {
      keys.insert(key);
      per_child[i].insert(key);
    }
  }
  EXPECT_EQ(drawn, 2 * kKeysEach);
  // Interleaved ranges show that the two really drew at the same time.
  const bool overlapped = *per_child[0].begin() < *per_child[1].rbegin() &&
                          *per_child[1].begin() < *per_child[0].rbegin();
  EXPECT_EQ(keys.size(), static_cast<size_t>(2 * kKeysEach));  // all distinct
  EXPECT_EQ(*keys.begin(), 1001);
  EXPECT_EQ(*keys.rbegin(), 1000 + 2 * kKeysEach);
  RawDb db(path);
  EXPECT_EQ(db.One("SELECT WERT FROM SATZZAEHLER WHERE TABELLE = 'ADRESSEN'"),
            std::to_string(1000 + 2 * kKeysEach));
  std::cout << "keys drawn: " << drawn
            << (overlapped ? ", drawn interleaved" : ", drawn one after the other") << "\n";
}

}  // namespace
}  // namespace kb6::test
