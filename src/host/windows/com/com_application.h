// clsApplication as the COM class hosts create: each property write and call
// goes to the monitor's clsApplication; the release of the last reference
// runs Class_Terminate.
#pragma once

#include <memory>

#include "host/windows/com/dual_dispatch.h"
#include "host/windows/com/served_monitor.h"
#include "kb6tray_h.h"

namespace kb6 {

class ComApplication final : public DispatchObject<_clsApplication> {
 public:
  explicit ComApplication(std::shared_ptr<ServedMonitor> served);

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
  void LastRelease() override;

  std::shared_ptr<ServedMonitor> served_;
  WindowsMonitor& monitor_;
};

}  // namespace kb6
