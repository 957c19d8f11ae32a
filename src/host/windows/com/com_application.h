// clsApplication as the COM class hosts create: each property write and call
// goes to the monitor's clsApplication; the release of the last reference
// runs Class_Terminate.
#pragma once

#include <atomic>

#include "host/windows/com/dual_dispatch.h"
#include "host/windows/com/server_life.h"
#include "kb6tray_h.h"

namespace kb6 {

class WindowsMonitor;

class ComApplication final : public DualDispatch<_clsApplication> {
 public:
  // Counts itself in `life` until its last release.
  ComApplication(WindowsMonitor& monitor, ServerLife& life);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE ShowTrayicon() override;
  HRESULT STDMETHODCALLTYPE CloseTrayIcon() override;
  HRESULT STDMETHODCALLTYPE put_Datenpfad(BSTR* v) override;
  HRESULT STDMETHODCALLTYPE put_Programmversion(LONG* v) override;
  HRESULT STDMETHODCALLTYPE put_AccessDatenbank(BSTR* v) override;
  HRESULT STDMETHODCALLTYPE put_SQLServer_Host(BSTR* v) override;
  HRESULT STDMETHODCALLTYPE put_SQLServer_DB(BSTR* v) override;
  HRESULT STDMETHODCALLTYPE put_SQLServer_User(BSTR* v) override;
  HRESULT STDMETHODCALLTYPE put_SQLServer_Passwort(BSTR* v) override;

 private:
  ~ComApplication() override = default;

  std::atomic<ULONG> refs_{1};
  WindowsMonitor& monitor_;
  ServerLife& life_;
};

}  // namespace kb6
