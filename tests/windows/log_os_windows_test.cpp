// The log folder's drive rules, the log file's bytes and code page on Windows
// (run under Wine with a German locale: code page 1252).
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "runlog/log_os.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// A drive letter that names no drive on this machine.
char MissingDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Y'; letter >= 'D'; --letter)
    if ((drives & (1u << (letter - 'A'))) == 0) return letter;
  return '\0';
}

TEST(EnsureDirectoryWindows, DrivesRootsAndFolders) {
  const char missing = MissingDrive();
  ASSERT_NE(missing, '\0');
  TempDir dir;
  const struct {
    std::string path;
    bool create;
    bool result;
  } cases[] = {
      {"", false, true},
      {"C:\\", false, true},
      {std::string(1, missing) + ":\\Verein\\Logfiles\\", true, false},
      {std::filesystem::path(dir.path()).make_preferred().string() + "\\a\\b\\c", false, false},
      {"kb6-relative-without-separator", true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EnsureDirectory(c.path, c.create), c.result) << c.path << " create=" << c.create;
}

TEST(AppendLogLineWindows, CrLfOnceAndAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "run under a German locale (LANG=de_DE.UTF-8 under Wine)";
  TempDir dir;
  const std::string file = dir.File("KB6TRAY_261206.log");
  // Ł and ź are not in 1252: the system's best fit stands in for them.
  ASSERT_TRUE(AppendLogLine(file, "10:30:00 Jürgen Größe 5 € Łódź"));
  ASSERT_TRUE(AppendLogLine(file, ""));
  EXPECT_EQ(ReadFile(file),
            "10:30:00 J\xFCrgen Gr\xF6\xDF"
            "e 5 \x80 L\xF3"
            "dz\r\n\r\n");
  EXPECT_FALSE(AppendLogLine(dir.File("missing\\folder\\x.log"), "x"));
}

}  // namespace
}  // namespace kb6::test
