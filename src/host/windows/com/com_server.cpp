#include "host/windows/com/com_server.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>

#include "host/windows/com/class_factory.h"
#include "host/windows/com/com_application.h"
#include "host/windows/com/com_aufgaben.h"
#include "host/windows/com/registration.h"
#include "host/windows/com/server_life.h"
#include "host/windows/monitor_windows.h"
#include "platform/windows/text_windows.h"

namespace kb6 {
namespace {

std::string SwitchName(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return {};
  std::string name = arg.substr(1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

// One apartment for the whole life of the server.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A class object registered with COM until it goes out of scope.
class Registered {
 public:
  Registered(REFCLSID clsid, IClassFactory& factory) {
    hr_ = CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  }
  ~Registered() {
    if (SUCCEEDED(hr_)) CoRevokeClassObject(cookie_);
  }
  Registered(const Registered&) = delete;
  Registered& operator=(const Registered&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
  DWORD cookie_ = 0;
};

int Serve(const std::string& exe_path) {
  Apartment apartment;
  if (FAILED(apartment.result())) return 1;
  // Started by COM, a console of its own would stand on the desktop for nothing.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
  WindowsMonitor monitor(exe_path);
  ServerLife life([&] { return monitor.window().Loaded(); }, [] { PostQuitMessage(0); });
  monitor.window().SetUnloadedHandler([&] { life.CheckEnd(); });
  // Objects free themselves on their last Release; `new` hands them to COM.
  ClassFactory application(life, [&]() -> IUnknown* {
    return static_cast<_clsApplication*>(new ComApplication(monitor, life));
  });
  ClassFactory aufgaben(life, [&]() -> IUnknown* {
    return static_cast<_clsAufgaben*>(new ComAufgaben(monitor, life));
  });
  Registered app_class(CLSID_clsApplication, application);
  Registered jobs_class(CLSID_clsAufgaben, aufgaben);
  if (FAILED(app_class.result()) || FAILED(jobs_class.result())) return 1;
  // Host calls arrive as messages of this thread: here, and in the progress
  // wait while a cycle runs.
  return Win32EventLoop::Run();
}

}  // namespace

std::optional<int> RunComMode(const std::vector<std::string>& args, const std::string& exe_path) {
  bool embedding = false, reg = false, unreg = false, all_users = false;
  for (const auto& arg : args) {
    const std::string name = SwitchName(arg);
    if (name == "embedding" || name == "automation")
      embedding = true;
    else if (name == "regserver")
      reg = true;
    else if (name == "unregserver")
      unreg = true;
    else if (name == "allusers")
      all_users = true;
  }
  if (!embedding && !reg && !unreg) return std::nullopt;
  if (embedding) return Serve(exe_path);
  const RegistryScope scope = all_users ? RegistryScope::kMachine : RegistryScope::kUser;
  const std::string error =
      reg ? RegisterComServer(WideFromUtf8(exe_path), scope) : UnregisterComServer(scope);
  if (!error.empty()) {
    std::cerr << "KB6TRAY: " << error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace kb6
