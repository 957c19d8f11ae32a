// Files the monitor must leave alone: quiet cycle, every byte kept, nothing
// created beside it, one error line for the journal naming the cause.
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

constexpr const char* kCauseLine = "<3>KB6TRAY: Die Datenbank kann nicht geöffnet werden: ";
constexpr const char* kSetpriv = "/usr/bin/setpriv";

// Run as root, the test plays user nobody with setpriv: root itself may
// write any file, so a file mode alone keeps nothing from it.
TEST(UnopenableDatabase, FilesThatAreNoClubFileOrNotWritableStayUntouched) {
  const bool root = geteuid() == 0;
  if (root && !fs::exists(kSetpriv)) GTEST_SKIP() << "running as root without setpriv";
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);  // nobody reaches the files
  const struct {
    const char* name;
    const char* kind;  // empty, plain (no club tables), club (WAL) or rollback
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
    const std::string folder = dir.File("c" + std::to_string(i++)), db = folder + "/verein.db",
                      data = dir.File("data"), err = dir.File("err.txt");
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all);
    if (std::string(c.kind) == "empty") {
      std::ofstream{db};
    } else {
      if (std::string(c.kind) == "plain")
        RawDb(db).Exec("CREATE TABLE MITGLIEDER (NR INTEGER); INSERT INTO MITGLIEDER VALUES (1)");
      else
        GenerateClubDatabase(db, {12, 3});
      RawDb(db).Exec(std::string(c.kind) == "rollback" ? "PRAGMA journal_mode=DELETE"
                                                       : "PRAGMA journal_mode=WAL");
    }
    ASSERT_TRUE(!root || chown(db.c_str(), 65534, 65534) == 0);
    fs::permissions(db, c.mode);
    if (!c.folder_writable) fs::permissions(folder, fs::perms(0555));
    const std::string before = ReadFile(db);
    std::vector<std::string> args;
    if (root) args = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& a : OnceCommand(db, data)) args.push_back(a);
    { std::ofstream(err) << ""; }  // keeps its inode when the child opens it again
    struct stat st {};
    stat(err.c_str(), &st);
    const std::string journal =
        "JOURNAL_STREAM=" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    int status = 0;
    waitpid(Spawn(args, err, "/dev/null", {kNoProgressPause, journal}), &status, 0);
    const std::string text = ReadFile(err);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << text;  // not opened
    EXPECT_EQ(ReadFile(db), before);
    for (const char* suffix : {"-wal", "-shm", "-journal"})
      EXPECT_FALSE(fs::exists(db + suffix)) << suffix;
    EXPECT_FALSE(fs::exists(data)) << "a log entry was written";
    const size_t at = text.find(kCauseLine);
    EXPECT_TRUE(at != std::string::npos && at == text.rfind(kCauseLine)) << text;  // once
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    fs::permissions(folder, fs::perms::all);
  }
}

}  // namespace
}  // namespace kb6::test
