// Operator lines carry their syslog priority only when standard error is
// the stream JOURNAL_STREAM names by device and inode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/operator_notice.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// What TellOperator writes to `file` as fd 2; stream "match" names the file.
std::string Told(const std::string& file, const char* stream, NoticeLevel level) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int saved = dup(2);
  dup2(fd, 2);
  struct stat st {};
  fstat(fd, &st);
  const std::string match = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  setenv("JOURNAL_STREAM", std::string(stream) == "match" ? match.c_str() : stream, 1);
  TellOperator(level, "Zeile\neins");
  dup2(saved, 2);
  close(saved);
  close(fd);
  unsetenv("JOURNAL_STREAM");
  return ReadFile(file);
}

// The matching stream with an error is what a real process shows in the
// unopenable-database tests.
TEST(JournalPrefix, OnlyWhenStderrIsTheJournalsStream) {
  TempDir dir;
  EXPECT_EQ(Told(dir.File("err"), "match", NoticeLevel::kInfo), "<6>KB6TRAY: Zeile eins\n");
  // Standard error redirected away from the stream the variable names.
  EXPECT_EQ(Told(dir.File("err"), "1:1", NoticeLevel::kError), "KB6TRAY: Zeile eins\n");
}

}  // namespace
}  // namespace kb6::test
