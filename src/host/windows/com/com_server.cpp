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
#include "host/windows/com/served_monitor.h"
#include "host/windows/com/server_life.h"
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

// A class object registered with COM until it goes out of scope. Registered
// suspended: no activation arrives before every class is in place and
// CoResumeClassObjects lets them all in.
class Registered {
 public:
  Registered(REFCLSID clsid, IClassFactory& factory) {
    hr_ = CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER,
                                REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie_);
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

// The objects COM hands out: one reference, owned by COM's count from here.
template <class Object, class Interface>
IUnknown* NewObject(const std::shared_ptr<ServedMonitor>& served) {
  return static_cast<Interface*>(std::make_unique<Object>(served).release());
}

int ServeClasses(const std::string& exe_path) {
  const auto served = std::make_shared<ServedMonitor>(exe_path);
  ClassFactory application([served] { return NewObject<ComApplication, _clsApplication>(served); });
  ClassFactory aufgaben([served] { return NewObject<ComAufgaben, _clsAufgaben>(served); });
  Registered app_class(CLSID_clsApplication, application);
  Registered jobs_class(CLSID_clsAufgaben, aufgaben);
  if (FAILED(app_class.result()) || FAILED(jobs_class.result())) return 1;
  // Two clients starting at once can make COM start a second server that
  // then never receives an object: it ends after its grace period. The
  // tests shorten the minute with KB6TRAY_EMBEDDING_IDLE_MS.
  Win32Window& window = served->monitor().native_window();
  const UINT_PTR grace = window.AddTimer([&window, &grace] {
    window.RemoveTimer(grace);
    if (ServedAnObject()) return;
    CoSuspendClassObjects();
    PostQuitMessage(0);
  });
  if (SetTimer(window.handle(), grace, MillisecondsSetting("KB6TRAY_EMBEDDING_IDLE_MS", 60000),
               nullptr) == 0)
    return 1;
  if (FAILED(CoResumeClassObjects())) return 1;
  // Host calls arrive as messages of this thread: here, and in the progress
  // wait while a cycle runs.
  return Win32EventLoop::Run();
}

int Serve(const std::string& exe_path) {
  // The apartment outlives everything the server made: objects a client
  // still holds at the end are released while it closes, and they keep the
  // monitor alive until then.
  Apartment apartment;
  if (FAILED(apartment.result())) return 1;
  // Started by COM, a console of its own would stand on the desktop for nothing.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
  return ServeClasses(exe_path);
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
