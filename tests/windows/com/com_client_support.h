// What the COM client tests share: a scratch folder with a demo club file,
// the server process, its main window and the run's traces.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "kb6tray_h.h"

namespace kb6test {

using Microsoft::WRL::ComPtr;

// KB6TRAY.exe started with `args` and test settings in its environment
// (KB6TRAY_TIMER_MS, ...); ended by force if it still runs at the end.
class Server {
 public:
  using Setting = std::pair<const wchar_t*, const wchar_t*>;
  explicit Server(const std::wstring& args, const std::vector<Setting>& settings = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  // -1 when the process has not ended within `ms`.
  long ExitCodeWithin(DWORD ms) const;

 private:
  bool ok_ = false;
  PROCESS_INFORMATION pi_{};
};

// A fresh temporary folder with a demo club file of 300 active addresses.
struct Scratch {
  Scratch();
  std::wstring dir;
  std::wstring club;  // dir\club.db
};

// The log lines below `datenpfad`, in UTF-8 and without their times.
std::vector<std::string> LogLines(const std::wstring& datenpfad);
// False when `count` lines ending with `tail` are not there within five minutes.
bool WaitForLogLines(const std::wstring& datenpfad, const std::string& tail, int count);
std::vector<std::string> ReadLogTable(const std::wstring& club);  // reoEintrag
// The monitor's hidden main window; null after a minute.
HWND MainWindow();

}  // namespace kb6test
