// The run log's operating-system pieces on Windows: drive-aware folders, the
// log file in the ANSI code page, GUIDs from COM.
#include <objbase.h>
#include <windows.h>

#include <string>

#include "platform/windows/text_windows.h"
#include "runlog/log_os.h"

namespace kb6 {
namespace {

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A removable or CD-ROM drive without a medium, or a drive letter that names
// no drive, cannot hold the folder; asking the drive avoids the system's
// "insert a disk" prompt that touching the path would raise.
bool DriveUsable(char letter) {
  const std::string drive = std::string(1, letter) + ":";
  switch (GetDriveTypeA(drive.c_str())) {
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM: {
      char volume[256];
      char file_system[256];
      DWORD serial = 0, max_component = 0, flags = 0;
      return GetVolumeInformationA((drive + "\\").c_str(), volume, sizeof volume, &serial,
                                   &max_component, &flags, file_system, sizeof file_system) != 0;
    }
    case DRIVE_NO_ROOT_DIR:
      return false;
    default:
      return true;
  }
}

// The reason for a system error code, in German for the common causes of a
// log file that cannot be written.
std::string CauseOf(DWORD err) {
  switch (err) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "Auf dem Datenträger ist kein Platz mehr.";
    case ERROR_ACCESS_DENIED:
      return "Zugriff verweigert.";
    case ERROR_WRITE_PROTECT:
      return "Der Datenträger ist schreibgeschützt.";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
      return "Der Ordner fehlt.";
    case ERROR_FILENAME_EXCED_RANGE:
      return "Der Pfad ist zu lang.";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "Es sind zu viele Dateien geöffnet.";
    case ERROR_ALREADY_EXISTS:
      return "An Stelle des Ordners steht eine Datei.";
    default:
      return "Systemfehler " + std::to_string(err) + ".";
  }
}

void SetCause(std::string* cause, const std::string& text) {
  if (cause) *cause = text;
}

// An owned Win32 file handle.
class File {
 public:
  explicit File(HANDLE h) : h_(h) {}
  ~File() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

const char kPathSeparator = '\\';

bool EnsureDirectory(const std::string& path, bool create, std::string* cause) {
  try {
    if (path.empty()) return true;
    std::string dir = path;
    if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
    if (path.size() >= 2 && path[1] == ':') {
      if (!DriveUsable(path[0])) {
        SetCause(cause, "Das Laufwerk " + path.substr(0, 2) + " ist nicht bereit.");
        return false;
      }
      if (dir.size() == 3) return true;  // the drive's root
    }
    if (IsDirectory(dir)) return true;
    if (!create) {
      SetCause(cause, CauseOf(ERROR_PATH_NOT_FOUND));
      return false;
    }
    const std::string without = dir.substr(0, dir.size() - 1);
    // The system takes "/" as well; a path written with it is still split.
    const size_t slash = without.find_last_of("\\/");
    if (slash == std::string::npos) {
      SetCause(cause, CauseOf(ERROR_PATH_NOT_FOUND));
      return false;
    }
    if (!EnsureDirectory(without.substr(0, slash), true, cause)) return false;
    if (CreateDirectoryW(WideFromUtf8(without).c_str(), nullptr) != 0) return true;
    const DWORD err = GetLastError();
    if (IsDirectory(dir)) return true;  // made by someone else meanwhile
    SetCause(cause, CauseOf(err));
    return false;
  } catch (...) {
    SetCause(cause, CauseOf(ERROR_NOT_ENOUGH_MEMORY));
    return false;
  }
}

// Cuts `file` back to `size` bytes through a handle of its own: the append
// handle may not move the end of the file.
void TruncateTo(const std::string& file, LONGLONG size) {
  File f(CreateFileW(WideFromUtf8(file).c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f.get() == INVALID_HANDLE_VALUE) return;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  SetFileInformationByHandle(f.get(), FileEndOfFileInfo, &end, sizeof end);
}

bool AppendLogLine(const std::string& file, const std::string& line, std::string* cause) {
  try {
    // Append-only access makes every write land at the current end, so
    // concurrent writers never interleave inside a line. The handle bypasses
    // the C runtime, whose text mode would turn CR LF into CR CR LF.
    File f(CreateFileW(WideFromUtf8(file).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) {
      SetCause(cause, CauseOf(GetLastError()));
      return false;
    }
    LARGE_INTEGER before{};
    const bool sized = GetFileSizeEx(f.get(), &before) != 0;
    const std::string data = AnsiFromUtf8(line) + "\r\n";
    DWORD written = 0;
    if (WriteFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
        written == data.size())
      return true;
    const DWORD err = GetLastError();
    // A torn line would run into the next one: cut it off again.
    if (written > 0 && sized) TruncateTo(file, before.QuadPart);
    SetCause(cause, CauseOf(err == ERROR_SUCCESS ? ERROR_DISK_FULL : err));
    return false;
  } catch (...) {
    SetCause(cause, CauseOf(ERROR_NOT_ENOUGH_MEMORY));
    return false;
  }
}

std::string NewGuidString() {
  try {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return "";
    wchar_t buffer[39];
    const int n = StringFromGUID2(guid, buffer, 39);
    if (n <= 1) return "";
    return Utf8FromWide(std::wstring(buffer, static_cast<size_t>(n - 1)));
  } catch (...) {
    return "";
  }
}

}  // namespace kb6
