// clsAufgaben as a COM class: the nine jobs, callable by a host between
// cycles, whose SetTrayText events reach every sink connected through
// IConnectionPointContainer. The timer cycle keeps its own job object, whose
// events go to the main window.
#pragma once

#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/windows/com/dual_dispatch.h"
#include "host/windows/com/served_monitor.h"
#include "jobs/aufgaben.h"
#include "jobs/progress.h"
#include "kb6tray_h.h"

namespace kb6 {

class ComAufgaben;

// The one connection point (__clsAufgaben). It lives inside its container
// and shares its reference count.
class SetTrayTextPoint final : public IConnectionPoint {
 public:
  explicit SetTrayTextPoint(ComAufgaben& owner) : owner_(owner) {}
  ~SetTrayTextPoint();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  // Raises the event on every sink connected when it starts.
  void Fire(const std::string& ueText, const std::string& uePart);

 private:
  ComAufgaben& owner_;
  std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
  DWORD next_cookie_ = 1;
};

class ComAufgaben final : public DispatchObject<_clsAufgaben, IConnectionPointContainer>,
                          private ProgressSink {
 public:
  explicit ComAufgaben(std::shared_ptr<ServedMonitor> served);

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  HRESULT STDMETHODCALLTYPE gfUpdateDatumsfelder(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateAdressen(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateAbteilungen(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateAbteilungenAnzahl(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateSpendenliste(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfRefreshAbteilungsuebersicht(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateAdressenKomplett(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfUpdateFeldAnzahlAdressen(VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE gfRefreshAnzahlAbteilungen(VARIANT* result) override;

 private:
  void* Find(REFIID iid) override;
  void SetTrayText(const std::string& ueText, const std::string& uePart) override;
  // Runs one job with the monitor's timer held, so that no cycle starts (and
  // closes the connection) while the job waits for a sink.
  HRESULT RunJob(VARIANT* result, const std::function<void()>& job);

  std::shared_ptr<ServedMonitor> served_;
  WindowsMonitor& monitor_;
  SetTrayTextPoint point_{*this};
  clsAufgaben jobs_;
};

}  // namespace kb6
