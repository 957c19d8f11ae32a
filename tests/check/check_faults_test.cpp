// --check on real files with what the cycle trips on (a missing column,
// ±Inf, dates out of range, NUL bytes, a damaged page or schema), --fix on
// the column kinds the monitor's provider uses, and the read-only commands
// on a read-only file and mount.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

namespace fs = std::filesystem;

// Overwrites the middle of the first page of `table`'s b-tree.
void DamagePageOf(const std::string& path, const std::string& table) {
  int page = 0, size = 0;
  {
    RawDb raw(path);
    raw.Exec("PRAGMA journal_mode = DELETE");
    page = std::stoi(raw.One("SELECT rootpage FROM sqlite_master WHERE name = '" + table + "'"));
    size = std::stoi(raw.One("PRAGMA page_size"));
  }
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(page - 1) * size);
  const std::string junk(static_cast<size_t>(size / 2), '\xA5');
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

class CheckFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    GenerateClubDatabase(db, {20, 3});
    a1 = RawDb(db).One("SELECT MIN(ADR_INR) FROM ADRESSEN");
  }
  ToolRun Run(std::vector<std::string> args) {
    args.insert(args.end(), {"--access-db", db});
    return RunTool(dir.path(), args);
  }
  TempDir dir;
  std::string db = dir.File("club.db");
  std::string a1;
};

TEST_F(CheckFaults, WhatTheCycleTripsOnIsReported) {
  struct Case {
    const char* name;
    std::vector<std::string> sql;  // {a1} is the first address
    std::vector<std::string> out_has;
  };
  const Case cases[] = {
      {"dropped column",
       {"ALTER TABLE ADRESSEN DROP COLUMN BR_ANREDE"},
       {"(Spalten)", "Spalten fehlen, die die Jobs lesen oder schreiben", "Spalten: BR_ANREDE\n"}},
      {"dropped table", {"DROP TABLE HISTORY"}, {"HISTORY\n  (Tabelle)", "Tabelle fehlt"}},
      {"infinite date",
       {"UPDATE ADRESSEN SET GEBTAG = 9e999 WHERE ADR_INR = {a1}"},
       {"GEBTAG",
        "unendlicher Wert (±Inf): jede Umrechnung scheitert, der Job übergeht die "
        "Zeile (1 davon behebt --fix)\n",
        "ADR_INR: {a1}\n"}},
      {"minus infinite amount",
       {"UPDATE ADRESSEN SET OFFEN = -9e999 WHERE ADR_INR = {a1}"},
       {"OFFEN", "unendlicher Wert"}},
      {"date out of range",
       {"UPDATE ADRESSEN SET GEBTAG = 3000000 WHERE ADR_INR = {a1}"},
       {"GEBTAG", "Datum außerhalb der Jahre 100 bis 9999"}},
      {"NUL byte",
       {"UPDATE ADRESSEN SET NAME1 = 'Mül' || char(0) || 'ler' WHERE ADR_INR = {a1}"},
       {"NAME1", "NUL-Byte im Text"}},
      {"damaged page", {}, {"kann nicht gelesen werden: database disk image is malformed"}},
  };
  auto with_a1 = [&](std::string s) {
    if (const size_t at = s.find("{a1}"); at != std::string::npos) s.replace(at, 4, a1);
    return s;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* file : {"", "-wal", "-shm"}) fs::remove(db + file);
    GenerateClubDatabase(db, {20, 3});
    {
      RawDb raw(db);
      for (const std::string& sql : c.sql) raw.Exec(with_a1(sql));
    }
    if (c.sql.empty()) DamagePageOf(db, "ADRESSEN");
    const ToolRun r = Run({"--check"});
    EXPECT_EQ(r.code, 1) << r.err;
    for (const std::string& piece : c.out_has)
      EXPECT_NE(r.out.find(with_a1(piece)), std::string::npos) << piece << "\n" << r.out;
  }
}

TEST_F(CheckFaults, FixFollowsTheProviderKindsAndNullsInfinities) {
  {
    RawDb raw(db);
    raw.Exec("ALTER TABLE ADRESSEN ADD COLUMN adrGeprueft YESNO");
    raw.Exec("ALTER TABLE ADRESSEN ADD COLUMN adrStempel TIMESTAMP");
    raw.Exec(
        "UPDATE ADRESSEN SET adrGeprueft = 1, adrStempel = '01.03.2020', GEBTAG = 9e999 "
        "WHERE ADR_INR = " +
        a1);
  }
  const ToolRun r = Run({"--check", "--fix"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  for (const std::string& change :
       {"geändert: ADRESSEN.GEBTAG ADR_INR=" + a1 + ": Inf -> Null\n",
        "geändert: ADRESSEN.adrStempel ADR_INR=" + a1 + ": '01.03.2020' -> 43891 (01.03.2020)\n",
        std::string("2 Änderungen geschrieben.\n")})
    EXPECT_NE(r.out.find(change), std::string::npos) << change << "\n" << r.out;
  RawDb raw(db);
  // A YESNO column is a number to the monitor: 1 stays 1.
  EXPECT_EQ(raw.One("SELECT adrGeprueft || '|' || adrStempel || '|' || typeof(GEBTAG) FROM "
                    "ADRESSEN WHERE ADR_INR = " +
                    a1),
            "1|43891|null");
}

TEST_F(CheckFaults, AMalformedSchemaIsNamedAsSuch) {
  {
    RawDb raw(db);
    raw.Exec("PRAGMA writable_schema = ON");
    raw.Exec("UPDATE sqlite_master SET sql = 'CREATE TABLE HISTORY (' WHERE name = 'HISTORY'");
  }
  const std::string cause = "' ist beschädigt: malformed database schema (HISTORY)";
  const ToolRun check = Run({"--check"});
  EXPECT_EQ(check.code, 2);
  EXPECT_NE(check.err.find(cause), std::string::npos) << check.err;
  const ToolRun once = Run({"--once", "--datenpfad", dir.path()});
  EXPECT_NE(once.err.find(cause), std::string::npos) << once.err;
  EXPECT_EQ(once.err.find("kann nicht beschrieben werden"), std::string::npos) << once.err;
}

// --history and --check read a file without changing a byte and without
// making anything beside it; on a read-only mount as well.
TEST_F(CheckFaults, ReadingCommandsWorkOnReadOnlyFilesAndMounts) {
  ASSERT_EQ(RunTool(dir.path(), {"--once", "--access-db", db, "--datenpfad", dir.path()},
                    {"KB6TRAY_PROGRESS_PAUSE=0", "KB6TRAY_TEST_NOW=2026-12-06 10:00:00"})
                .code,
            0);
  std::vector<std::string> places = {dir.File("ro")};
  fs::create_directories(places[0]);
  fs::copy_file(db, places[0] + "/club.db");
  fs::permissions(places[0] + "/club.db", fs::perms::owner_read | fs::perms::group_read);
  const std::string mnt = dir.File("mnt");
  fs::create_directories(mnt);
  const bool mounted = ::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=16m") == 0;
  struct Unmount {
    std::string path;
    bool on;
    ~Unmount() {
      if (on) ::umount2(path.c_str(), MNT_DETACH);
    }
  } unmount{mnt, mounted};
  if (mounted) {
    fs::copy_file(db, mnt + "/club.db");
    ASSERT_EQ(::mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16m"), 0)
        << std::strerror(errno);
    places.push_back(mnt);
  }
  for (const std::string& place : places) {
    SCOPED_TRACE(place);
    const std::string file = place + "/club.db";
    const std::string before = ReadFile(file);
    const ToolRun history = RunTool(dir.path(), {"--history", "--access-db", file},
                                    {"KB6TRAY_TEST_NOW=2026-12-06 18:00:00"});
    EXPECT_EQ(history.code, 0) << history.err;
    EXPECT_NE(history.out.find("1 Zyklus, 0 mit Fehlern"), std::string::npos) << history.out;
    const ToolRun check = RunTool(dir.path(), {"--check", "--access-db", file});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_EQ(ReadFile(file), before);
    for (const char* beside : {"-wal", "-shm", "-journal"})
      EXPECT_FALSE(fs::exists(file + beside)) << beside;
  }
  if (!mounted) GTEST_SKIP() << "read-only mount not tried: cannot mount a tmpfs here";
}

}  // namespace
}  // namespace kb6::test
