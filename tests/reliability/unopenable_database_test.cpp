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

// An empty file, a SQLite file without club tables ("plain") or a club file,
// in WAL mode unless "rollback".
void MakeFile(const std::string& path, const std::string& kind) {
  if (kind == "empty") {
    std::ofstream{path};
    return;
  }
  if (kind == "plain")
    RawDb(path).Exec(
        "CREATE TABLE MITGLIEDER (NR INTEGER, NAME TEXT); INSERT INTO MITGLIEDER "
        "VALUES (1, 'Huber')");
  else
    GenerateClubDatabase(path, {12, 3});
  RawDb(path).Exec(kind == "rollback" ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL");
}

TEST_F(UnopenableDatabase, FilesThatAreNoClubFileOrNotWritableStayUntouched) {
  const struct {
    const char* name;
    const char* kind;
    fs::perms mode;
    bool folder_writable;
    const char* cause;
  } cases[] = {
      {"empty file", "empty", fs::perms(0644), true, "keine SQLite-Datenbank"},
      {"SQLite file in WAL mode", "plain", fs::perms(0644), true,
       "keine Vereinsdatenbank (die Tabelle ADRESSEN fehlt)"},
      {"mode 0444, WAL", "club", fs::perms(0444), true, "ist schreibgeschützt."},
      {"read-only folder, WAL", "club", fs::perms(0644), false, "schreibgeschützt"},
      {"read-only folder, rollback", "rollback", fs::perms(0644), false,
       "Der Ordner der Datenbankdatei '"},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = Folder("c" + std::to_string(i++), true);
    const std::string db = folder + "/verein.db";
    MakeFile(db, c.kind);
    ASSERT_TRUE(!root_ || chown(db.c_str(), kNobody, kNobody) == 0);
    fs::permissions(db, c.mode);
    if (!c.folder_writable) Folder(fs::path(folder).filename().string(), false);
    ExpectLeftAlone(db, c.cause);
    fs::permissions(folder, fs::perms::all);
  }
}

}  // namespace
}  // namespace kb6::test
