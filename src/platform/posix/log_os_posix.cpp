// The run log's operating-system pieces on POSIX systems.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runlog/log_os.h"

namespace kb6 {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat sb {};
  return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

// The reason for an errno value, in German for the common causes of a log
// file that cannot be written; the system's text for the rest.
std::string CauseOf(int err) {
  switch (err) {
    case ENOSPC:
      return "Auf dem Datenträger ist kein Platz mehr.";
    case EDQUOT:
      return "Das Speicherkontingent ist erschöpft.";
    case EACCES:
    case EPERM:
      return "Zugriff verweigert.";
    case EROFS:
      return "Das Dateisystem ist schreibgeschützt.";
    case ENOTDIR:
      return "Ein Teil des Pfads ist kein Ordner.";
    case EEXIST:
      return "An Stelle des Ordners steht eine Datei.";
    case EISDIR:
      return "An Stelle der Datei steht ein Ordner.";
    case ENAMETOOLONG:
      return "Der Pfad ist zu lang.";
    case EMFILE:
    case ENFILE:
      return "Es sind zu viele Dateien geöffnet.";
    case ENOENT:
      return "Der Ordner fehlt.";
    case EIO:
      return "Ein-/Ausgabefehler.";
    default:
      return std::string(std::strerror(err)) + ".";
  }
}

void SetCause(std::string* cause, const std::string& text) {
  if (cause) *cause = text;
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

const char kPathSeparator = '/';

bool EnsureDirectory(const std::string& path, bool create, std::string* cause) {
  try {
    if (path.empty()) return true;
    std::string dir = path;
    if (dir.back() != '/') dir += '/';
    if (dir == "/") return true;
    if (IsDirectory(dir)) return true;
    if (!create) {
      SetCause(cause, CauseOf(ENOENT));
      return false;
    }
    const std::string without = dir.substr(0, dir.size() - 1);
    const size_t slash = without.rfind('/');
    if (slash != std::string::npos && slash > 0 &&
        !EnsureDirectory(without.substr(0, slash), true, cause))
      return false;
    if (::mkdir(without.c_str(), 0755) == 0) return true;
    const int err = errno;
    if (IsDirectory(dir)) return true;  // made by someone else meanwhile
    SetCause(cause, CauseOf(err));
    return false;
  } catch (...) {
    SetCause(cause, CauseOf(ENOMEM));
    return false;
  }
}

bool AppendLogLine(const std::string& file, const std::string& line, std::string* cause) {
  try {
    // One write of the whole line in append mode: concurrent writers never
    // interleave inside a line, and a crash leaves at worst a missing line.
    // Without O_NONBLOCK a FIFO of that name would block the cycle in open()
    // for as long as nobody reads it; only a regular file is a log file.
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644));
    if (fd.get() < 0) {
      SetCause(cause, CauseOf(errno));
      return false;
    }
    struct stat sb {};
    if (::fstat(fd.get(), &sb) != 0 || !S_ISREG(sb.st_mode)) {
      SetCause(cause, "Die Protokolldatei ist keine gewöhnliche Datei.");
      return false;
    }
    const std::string data = line + "\r\n";
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(fd.get(), data.data() + done, data.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      const int err = n < 0 ? errno : ENOSPC;
      // A torn line would run into the next one: cut the file back to where
      // this line began (the size seen before the write).
      if (done > 0) {
        int rc;
        do rc = ::ftruncate(fd.get(), sb.st_size);
        while (rc != 0 && errno == EINTR);
      }
      SetCause(cause, CauseOf(err));
      return false;
    }
    return true;
  } catch (...) {
    SetCause(cause, CauseOf(ENOMEM));
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
