#include "com_client_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "club_generator.h"
#include "db/sqlite_provider.h"
#include "platform/windows/text_windows.h"
#include "test_support.h"

namespace kb6test {
namespace fs = std::filesystem;

Server::Server(const std::wstring& args, const std::vector<Setting>& settings) {
  // The child inherits the settings; the test's own environment keeps none.
  for (const auto& [name, value] : settings) SetEnvironmentVariableW(name, value);
  // KB6TRAY.exe beside the test program.
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::wstring line =
      L"\"" + (fs::path(self).parent_path() / L"KB6TRAY.exe").wstring() + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  ok_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi_) != 0;
  for (const auto& setting : settings) SetEnvironmentVariableW(setting.first, nullptr);
}

Server::~Server() {
  if (!ok_) return;
  if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
  CloseHandle(pi_.hThread);
  CloseHandle(pi_.hProcess);
}

long Server::ExitCodeWithin(DWORD ms) const {
  if (!ok_ || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(pi_.hProcess, &code);
  return static_cast<long>(code);
}

Scratch::Scratch() {
  static int serial = 0;
  dir = (fs::temp_directory_path() /
         (L"kb6com-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial)))
            .wstring();
  fs::remove_all(dir);
  fs::create_directories(dir);
  club = dir + L"\\club.db";
  kb6::GenerateClubDatabase(kb6::Utf8FromWide(club), kb6::ClubShape{300, 1});
}

std::vector<std::string> LogLines(const std::wstring& datenpfad) {
  std::vector<std::string> lines;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(datenpfad) / L"Logfiles", ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // The time takes the first nine characters.
      const std::string utf8 = kb6::test::Utf8FromLogText(line);
      lines.push_back(utf8.size() > 9 ? utf8.substr(9) : utf8);
    }
  }
  return lines;
}

bool WaitForLogLines(const std::wstring& datenpfad, const std::string& tail, int count) {
  for (int i = 0; i < 3000; ++i) {
    int seen = 0;
    for (const auto& line : LogLines(datenpfad))
      if (line.ends_with(tail)) ++seen;
    if (seen >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

std::vector<std::string> ReadLogTable(const std::wstring& club) {
  const kb6::RowSet table =
      kb6::OpenSqliteSession(kb6::Utf8FromWide(club), nullptr, kb6::SqliteAccess::kReadOnly)
          ->Query("SELECT reoEintrag FROM tblALLGReorganisationProtokoll ORDER BY rowid");
  std::vector<std::string> entries;
  for (const auto& row : table.rows) entries.push_back(row[0].AsText());
  return entries;
}

HWND MainWindow() {
  for (int i = 0; i < 600; ++i) {
    if (HWND w = FindWindowW(L"KB6TRAY_fMain", nullptr)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return nullptr;
}

}  // namespace kb6test
