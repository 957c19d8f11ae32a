// Files the monitor must leave alone: no SQLite header, no club tables, not
// writable for the user the monitor runs as. The cycle is quiet (no balloon,
// no log entry), the file keeps every byte, nothing is created beside it, and
// standard error names the cause in one line, an error for the journal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

namespace fs = std::filesystem;

// An error for the journal, whose stream standard error is here.
constexpr const char* kCauseLine = "<3>KB6TRAY: Die Datenbank kann nicht geöffnet werden: ";
constexpr uid_t kNobody = 65534;
constexpr const char* kSetpriv = "/usr/bin/setpriv";

// Run as root, the tests play the other user with setpriv: root itself may
// write any file, so a file mode alone keeps nothing from it.
class UnopenableDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = geteuid() == 0;
    if (root_ && !fs::exists(kSetpriv)) GTEST_SKIP() << "running as root without setpriv";
    // The monitor's user must reach the files and may create its data folder.
    fs::permissions(dir.path(), fs::perms::all);
  }

  // A folder the monitor's user may write or not.
  std::string Folder(const std::string& name, bool writable) {
    const std::string f = dir.File(name);
    fs::create_directory(f);
    fs::permissions(f, writable ? fs::perms::all : fs::perms(0555));
    return f;
  }
  void ExpectLeftAlone(const std::string& db, const std::string& cause) {
    const std::string before = ReadFile(db);
    const std::string data = dir.File("data");
    std::vector<std::string> args;
    if (root_) args = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& a : OnceCommand(db, data)) args.push_back(a);
    const std::string err = dir.File("err.txt");
    { std::ofstream(err) << ""; }  // keeps its inode when the child opens it again
    struct stat st {};
    stat(err.c_str(), &st);
    const std::string journal =
        "JOURNAL_STREAM=" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    ProcessResult r;
    waitpid(Spawn(args, err, "/dev/null", {kNoProgressPause, journal}), &r.status, 0);
    r.err = ReadFile(err);
    EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 2) << r.err;  // not opened
    EXPECT_EQ(ReadFile(db), before);
    for (const char* suffix : {"-wal", "-shm", "-journal"})
      EXPECT_FALSE(fs::exists(db + suffix)) << suffix;
    EXPECT_FALSE(fs::exists(data)) << "a log entry was written";
    EXPECT_EQ(r.err.find("[Hinweis]"), std::string::npos) << r.err;
    const size_t at = r.err.find(kCauseLine);
    EXPECT_TRUE(at != std::string::npos && at == r.err.rfind(kCauseLine)) << r.err;  // once
    EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
  }

  TempDir dir;
  bool root_ = false;
};

void SqliteFile(const std::string& path, const char* journal_mode) {
  RawDb db(path);
  db.Exec(std::string("PRAGMA journal_mode=") + journal_mode);
  db.Exec("CREATE TABLE MITGLIEDER (NR INTEGER, NAME TEXT)");
  db.Exec("INSERT INTO MITGLIEDER VALUES (1, 'Huber')");
}

void ClubFile(const std::string& path, const char* journal_mode) {
  GenerateClubDatabase(path, {12, 3});
  RawDb(path).Exec(std::string("PRAGMA journal_mode=") + journal_mode);
}

TEST_F(UnopenableDatabase, FilesThatAreNoClubFileOrNotWritableStayUntouched) {
  using Make = std::function<void(const std::string&)>;
  const Make club_wal = [](const std::string& p) { ClubFile(p, "WAL"); };
  const Make club_rollback = [](const std::string& p) { ClubFile(p, "DELETE"); };
  const struct {
    const char* name;
    Make make;
    fs::perms mode;
    bool folder_writable;
    const char* cause;
  } cases[] = {
      {"empty file", [](const std::string& p) { std::ofstream{p}; }, fs::perms(0644), true,
       "keine SQLite-Datenbank"},
      {"SQLite file in WAL mode", [](const std::string& p) { SqliteFile(p, "WAL"); },
       fs::perms(0644), true, "keine Vereinsdatenbank (die Tabelle ADRESSEN fehlt)"},
      {"mode 0444, WAL", club_wal, fs::perms(0444), true, "ist schreibgeschützt."},
      {"read-only folder, WAL", club_wal, fs::perms(0644), false, "schreibgeschützt"},
      {"read-only folder, rollback", club_rollback, fs::perms(0644), false,
       "Der Ordner der Datenbankdatei '"},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = Folder("c" + std::to_string(i++), true);
    const std::string db = folder + "/verein.db";
    c.make(db);
    if (root_) {
      ASSERT_EQ(chown(db.c_str(), kNobody, kNobody), 0);
    }
    fs::permissions(db, c.mode);
    if (!c.folder_writable) Folder(fs::path(folder).filename().string(), false);
    ExpectLeftAlone(db, c.cause);
    fs::permissions(folder, fs::perms::all);
  }
}

}  // namespace
}  // namespace kb6::test
