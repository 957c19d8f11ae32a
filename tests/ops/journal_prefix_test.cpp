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
  if (stream) setenv("JOURNAL_STREAM", std::string(stream) == "match" ? match.c_str() : stream, 1);
  TellOperator(level, "Zeile\neins");
  dup2(saved, 2);
  close(saved);
  close(fd);
  unsetenv("JOURNAL_STREAM");
  return ReadFile(file);
}

TEST(JournalPrefix, OnlyWhenStderrIsTheJournalsStream) {
  TempDir dir;
  const struct {
    const char* stream;
    NoticeLevel level;
    std::string line;
  } cases[] = {
      {"match", NoticeLevel::kError, "<3>KB6TRAY: Zeile eins\n"},
      {"match", NoticeLevel::kInfo, "<6>KB6TRAY: Zeile eins\n"},
      {nullptr, NoticeLevel::kError, "KB6TRAY: Zeile eins\n"},
      {"1:1", NoticeLevel::kError, "KB6TRAY: Zeile eins\n"},  // another stream
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stream ? c.stream : "unset");
    EXPECT_EQ(Told(dir.File("err"), c.stream, c.level), c.line);
  }
}

}  // namespace
}  // namespace kb6::test
