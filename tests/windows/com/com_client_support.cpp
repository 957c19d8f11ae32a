#include "com_client_support.h"

#include <sqlite3.h>
#include <tlhelp32.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "club_generator.h"
#include "platform/windows/text_windows.h"

namespace kb6test {
namespace fs = std::filesystem;

std::wstring ServerPath() {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return (fs::path(self).parent_path() / L"KB6TRAY.exe").wstring();
}

DWORD RunServer(const std::wstring& args) {
  std::wstring line = L"\"" + ServerPath() + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return static_cast<DWORD>(-1);
  WaitForSingleObject(pi.hProcess, 120000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
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
      // The file is in code page 1252; the time takes the first nine characters.
      const int n =
          MultiByteToWideChar(1252, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
      std::wstring wide(n, L'\0');
      MultiByteToWideChar(1252, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
      const std::string utf8 = kb6::Utf8FromWide(wide);
      lines.push_back(utf8.size() > 9 ? utf8.substr(9) : utf8);
    }
  }
  return lines;
}

bool WaitForRunEnds(const std::wstring& datenpfad, int ends) {
  for (int i = 0; i < 3000; ++i) {
    int seen = 0;
    for (const auto& line : LogLines(datenpfad))
      if (line.ends_with(" ist abgeschlossen.")) ++seen;
    if (seen >= ends) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TableRows ReadLogTable(const std::wstring& club) {
  TableRows rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(kb6::Utf8FromWide(club).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
      SQLITE_OK) {
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* st = nullptr;
    std::set<std::string> guids;
    if (sqlite3_prepare_v2(db,
                           "SELECT reoEintrag, reoGUID FROM tblALLGReorganisationProtokoll "
                           "ORDER BY rowid",
                           -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        auto text = [&](int c) {
          const auto* t = sqlite3_column_text(st, c);
          return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        rows.entries.push_back(text(0));
        guids.insert(text(1));
      }
    }
    sqlite3_finalize(st);
    rows.guids.assign(guids.begin(), guids.end());
  }
  sqlite3_close(db);
  return rows;
}

HANDLE OpenServerProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  HANDLE found = nullptr;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"KB6TRAY.exe") == 0)
      found =
          OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

bool WaitForExit(HANDLE process) {
  // The close is honoured at the end of the next cycle; a few short timer
  // intervals at most. The bound only keeps a hung server from hanging CI.
  return WaitForSingleObject(process, 120000) == WAIT_OBJECT_0;
}

namespace {

DISPID IdOf(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
    return DISPID_UNKNOWN;
  return id;
}

}  // namespace

HRESULT PutByName(IDispatch* object, const wchar_t* name, VARIANT value) {
  const DISPID id = IdOf(object, name);
  if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                        nullptr, nullptr);
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, VARIANT* result) {
  const DISPID id = IdOf(object, name);
  if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                        nullptr, nullptr);
}

}  // namespace kb6test
