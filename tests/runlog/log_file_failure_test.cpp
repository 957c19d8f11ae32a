#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "runlog/run_log.h"
#include "test_support.h"

namespace kb6::test {
namespace {

namespace fs = std::filesystem;

class LogFileFailureTest : public ClubTest {
 protected:
  int Rows() { return std::stoi(raw->One("SELECT Count(*) FROM tblALLGReorganisationProtokoll")); }
};

TEST_F(LogFileFailureTest, UnwritablePlacesAreNamedOncePerCause) {
  const std::string base = dir.File("blocked");
  fs::create_directories(base);
  std::ofstream(base + "/Logfiles") << "x";  // a file where the folder belongs
  settings.Datenpfad = base;
  const int rows = Rows();
  testing::internal::CaptureStderr();
  log->WriteLog("eins", LogTypeInfo);
  log->WriteLog("zwei", LogTypeInfo);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "KB6TRAY: Die Protokolldatei '" + base +
                "/Logfiles/KB6TRAY_261206.log' kann nicht geschrieben werden: An Stelle des "
                "Ordners steht eine Datei.\n");
  EXPECT_EQ(Rows(), rows + 2);
  EXPECT_EQ(log->TakeLostLines(), 2);
  // Written again: one line says so, and the next failure is named anew.
  settings.Datenpfad = dir.path();
  testing::internal::CaptureStderr();
  log->WriteLog("vier", LogTypeInfo);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "KB6TRAY: Die Protokolldatei wird wieder geschrieben: " + dir.path() +
                "/Logfiles/KB6TRAY_261206.log\n");
  EXPECT_EQ(LogLines(), std::vector<std::string>{"10:30:00 vier"});
}

TEST_F(LogFileFailureTest, FullFolderLeavesNoTornLine) {
  const std::string mnt = dir.File("full");
  ScopedTmpfs tmpfs(mnt, "64k");
  if (!tmpfs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  const std::string file = mnt + "/Logfiles/KB6TRAY_261206.log";
  fs::create_directories(mnt + "/Logfiles");
  // The file's one page holds 4000 bytes and has room for a part of the next line only.
  const std::string head = std::string(3998, 'x') + "\r\n";
  std::ofstream(file, std::ios::binary) << head;
  {
    std::ofstream filler(mnt + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  settings.Datenpfad = mnt;
  const std::string text(300, 'L');
  testing::internal::CaptureStderr();
  log->WriteLog(text, LogTypeInfo);
  log->WriteLog(text, LogTypeInfo);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "KB6TRAY: Die Protokolldatei '" + file +
                     "' kann nicht geschrieben werden: Auf dem Datenträger ist kein Platz mehr.\n");
  EXPECT_EQ(ReadFile(file), head);
  EXPECT_EQ(log->TakeLostLines(), 2);
}

}  // namespace
}  // namespace kb6::test
