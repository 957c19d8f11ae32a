#include "runlog/run_log.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "db/database.h"
#include "db/literals.h"

namespace kb6 {
namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string Masked(std::string line) {
  const std::string pw = kAccessPassword;
  for (size_t at = line.find(pw); at != std::string::npos; at = line.find(pw, at + 12))
    line.replace(at, pw.size(), "************");
  return line;
}

bool IsDirectory(const std::string& path) {
  struct stat sb {};
  return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

// An owned file descriptor, closed on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

RunLog::RunLog(Settings& settings, Database& db, const RegionalSettings& regional,
               const Clock& clock, std::string exe_dir, std::string exe_name)
    : settings_(settings),
      db_(db),
      regional_(regional),
      clock_(clock),
      exe_dir_(std::move(exe_dir)),
      exe_name_(std::move(exe_name)) {
  db_.SetErrorLog([this](const std::string& description) {
    if (in_counter_draw_) return;
    WriteLog(description, LogTypeError, "basDatenbank", "ExecuteSQL");
  });
}

RunLog::~RunLog() { db_.SetErrorLog(nullptr); }

std::string RunLog::LogFilePath(const std::string& directory) const {
  const std::string base = !directory.empty()             ? directory
                           : !settings_.Datenpfad.empty() ? settings_.Datenpfad
                                                          : exe_dir_;
  return WithSlash(base) + "Logfiles/" + exe_name_ + "_" +
         regional_.FormatDate(clock_.Now(), "yymmdd") + ".log";
}

void RunLog::AppendLine(const std::string& folder, const std::string& file,
                        const std::string& line) {
  if (!EnsureDirectory(folder, true)) return;
  // One write of the whole line in append mode: concurrent writers never
  // interleave inside a line, and a crash leaves at worst a missing line.
  Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd.get() < 0) return;
  const std::string data = line + "\r\n";
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void RunLog::WriteLog(const std::string& text, int32_t type, const std::string& module,
                      const std::string& procedure, const std::string& directory) {
  try {
    const std::string file = LogFilePath(directory);
    const std::string folder = file.substr(0, file.rfind('/') + 1);
    std::string line;
    if (!module.empty()) line = module + " - ";
    if (!procedure.empty()) line += procedure + " - ";
    line += text;
    AppendLine(folder, file, regional_.FormatDate(clock_.Now(), "hh:mm:ss") + " " + Masked(line));
  } catch (...) {
  }
  try {
    int32_t id = 0;
    {
      in_counter_draw_ = true;
      id = db_.GetNextID("tblALLGReorganisationProtokoll", "reoID");
      in_counter_draw_ = false;
    }
    const double now = clock_.Now();
    std::string sql = "INSERT INTO tblALLGReorganisationProtokoll () VALUES ()";
    AddInsertField(db_, sql, std::to_string(id), "reoID", "N", false);
    AddInsertField(db_, sql, regional_.ToText(Value::Date(now)), "reoTimeStamp", "DT", false);
    AddInsertField(db_, sql, regional_.FormatDate(now, "dd/mm/yyyy"), "reoDatum", "A", false);
    AddInsertField(db_, sql, regional_.FormatDate(now, "hh:mm:ss"), "reoUhrzeit", "A", false);
    AddInsertField(db_, sql, text, "reoEintrag", "A", false);
    AddInsertField(db_, sql, std::to_string(type), "reoTyp", "N", false);
    AddInsertField(db_, sql, settings_.RunGuid, "reoGUID", "A", false);
    db_.ExecuteSQL(sql, true);
  } catch (...) {
    in_counter_draw_ = false;
  }
}

bool EnsureDirectory(const std::string& path, bool create) {
  try {
    if (path.empty()) return true;
    const std::string dir = WithSlash(path);
    if (dir == "/") return true;
    if (IsDirectory(dir)) return true;
    if (!create) return false;
    const std::string without = dir.substr(0, dir.size() - 1);
    const size_t slash = without.rfind('/');
    if (slash == std::string::npos) return ::mkdir(without.c_str(), 0755) == 0 || IsDirectory(dir);
    if (slash > 0 && !EnsureDirectory(without.substr(0, slash), true)) return false;
    return ::mkdir(without.c_str(), 0755) == 0 || IsDirectory(dir);
  } catch (...) {
    return false;
  }
}

std::string NewGuidString() {
  unsigned char b[16];
  size_t got = 0;
  while (got < sizeof b) {
    const ssize_t n = getrandom(b + got, sizeof b - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "";
    got += static_cast<size_t>(n);
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char out[39];
  std::snprintf(out, sizeof out,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return out;
}

}  // namespace kb6
