// The run log's operating-system pieces on Windows: drive-aware folders, the
// log file in the ANSI code page, GUIDs from COM.
#include <objbase.h>
#include <windows.h>

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

bool EnsureDirectory(const std::string& path, bool create) {
  try {
    if (path.empty()) return true;
    std::string dir = path;
    if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
    if (path.size() >= 2 && path[1] == ':') {
      if (!DriveUsable(path[0])) return false;
      if (dir.size() == 3) return true;  // the drive's root
    }
    if (IsDirectory(dir)) return true;
    if (!create) return false;
    const std::string without = dir.substr(0, dir.size() - 1);
    // The system takes "/" as well; a path written with it is still split.
    const size_t slash = without.find_last_of("\\/");
    if (slash == std::string::npos) return false;
    if (!EnsureDirectory(without.substr(0, slash), true)) return false;
    return CreateDirectoryW(WideFromUtf8(without).c_str(), nullptr) != 0 || IsDirectory(dir);
  } catch (...) {
    return false;
  }
}

bool AppendLogLine(const std::string& file, const std::string& line) {
  try {
    // Append-only access makes every write land at the current end, so
    // concurrent writers never interleave inside a line. The handle bypasses
    // the C runtime, whose text mode would turn CR LF into CR CR LF.
    File f(CreateFileW(WideFromUtf8(file).c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) return false;
    const std::string data = AnsiFromUtf8(line) + "\r\n";
    DWORD written = 0;
    return WriteFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
  } catch (...) {
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
