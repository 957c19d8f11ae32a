#include "host/windows/com/com_aufgaben.h"

#include <oleauto.h>
#include <olectl.h>

#include <exception>
#include <vector>

#include "platform/windows/text_windows.h"

namespace kb6 {

// --- The connection point ---

SetTrayTextPoint::~SetTrayTextPoint() = default;

HRESULT SetTrayTextPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG SetTrayTextPoint::AddRef() { return owner_.AddRef(); }
ULONG SetTrayTextPoint::Release() { return owner_.Release(); }

HRESULT SetTrayTextPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = DIID___clsAufgaben;
  return S_OK;
}

HRESULT SetTrayTextPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

HRESULT SetTrayTextPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  Microsoft::WRL::ComPtr<IDispatch> events;
  // A sink implements the event dispinterface; plain IDispatch serves too.
  if (FAILED(sink->QueryInterface(DIID___clsAufgaben,
                                  reinterpret_cast<void**>(events.GetAddressOf()))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(events.GetAddressOf()))))
    return CONNECT_E_CANNOTCONNECT;
  *cookie = next_cookie_++;
  sinks_.emplace(*cookie, std::move(events));
  return S_OK;
}

HRESULT SetTrayTextPoint::Unadvise(DWORD cookie) {
  return sinks_.erase(cookie) == 1 ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT SetTrayTextPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

namespace {

// A BSTR owned for the length of one event.
class Bstr {
 public:
  explicit Bstr(const std::string& utf8) {
    const std::wstring wide = WideFromUtf8(utf8);
    value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* ref() { return &value_; }

 private:
  BSTR value_;
};

}  // namespace

void SetTrayTextPoint::Fire(const std::string& ueText, const std::string& uePart) {
  // A sink may disconnect itself (or others) while it handles the event.
  std::vector<Microsoft::WRL::ComPtr<IDispatch>> sinks;
  for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
  for (const auto& sink : sinks) {
    // By reference, as declared; the handler may change the texts, each
    // sink gets fresh copies.
    Bstr text(ueText), part(uePart);
    VARIANTARG args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[1].vt = VT_BSTR | VT_BYREF;  // arguments go last to first
    args[1].pbstrVal = text.ref();
    args[0].vt = VT_BSTR | VT_BYREF;
    args[0].pbstrVal = part.ref();
    DISPPARAMS params{args, nullptr, 2, 0};
    // A sink that fails or has gone away must not stop the job.
    sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
}

// --- The job object ---

ComAufgaben::ComAufgaben(std::shared_ptr<ServedMonitor> served)
    : DispatchObject(IID__clsAufgaben),
      served_(std::move(served)),
      monitor_(served_->monitor()),
      jobs_(monitor_.database(), monitor_.regional(), monitor_.clock(), monitor_.run_log(), *this) {
  NoteObjectServed();
}

void* ComAufgaben::Find(REFIID iid) {
  if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
  return DispatchObject::Find(iid);
}

HRESULT ComAufgaben::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ComAufgaben::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != DIID___clsAufgaben) return CONNECT_E_NOCONNECTION;
  *out = &point_;
  point_.AddRef();
  return S_OK;
}

void ComAufgaben::SetTrayText(const std::string& ueText, const std::string& uePart) {
  point_.Fire(ueText, uePart);
}

HRESULT ComAufgaben::RunJob(VARIANT* result, const std::function<void()>& job) {
  if (result) VariantInit(result);
  // The sinks are called during the job: keep this object alive meanwhile.
  Microsoft::WRL::ComPtr<_clsAufgaben> self(this);
  const bool timer_was_on = monitor_.timer().Enabled();
  if (timer_was_on) monitor_.timer().SetEnabled(false);
  try {
    job();
  } catch (const std::exception&) {
    // The jobs trap their own failures; nothing reaches the host.
  }
  if (timer_was_on) monitor_.timer().SetEnabled(true);
  return S_OK;
}

HRESULT ComAufgaben::gfUpdateDatumsfelder(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateDatumsfelder(); });
}
HRESULT ComAufgaben::gfUpdateAdressen(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateAdressen(); });
}
HRESULT ComAufgaben::gfUpdateAbteilungen(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateAbteilungen(); });
}
HRESULT ComAufgaben::gfUpdateAbteilungenAnzahl(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateAbteilungenAnzahl(); });
}
HRESULT ComAufgaben::gfUpdateSpendenliste(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateSpendenliste(); });
}
HRESULT ComAufgaben::gfRefreshAbteilungsuebersicht(VARIANT* r) {
  return RunJob(r, [&] {
    const bool ok = jobs_.gfRefreshAbteilungsuebersicht();
    if (r) {
      r->vt = VT_BOOL;
      r->boolVal = ok ? VARIANT_TRUE : VARIANT_FALSE;
    }
  });
}
HRESULT ComAufgaben::gfUpdateAdressenKomplett(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateAdressenKomplett(); });
}
HRESULT ComAufgaben::gfUpdateFeldAnzahlAdressen(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfUpdateFeldAnzahlAdressen(); });
}
HRESULT ComAufgaben::gfRefreshAnzahlAbteilungen(VARIANT* r) {
  return RunJob(r, [&] { jobs_.gfRefreshAnzahlAbteilungen(); });
}

}  // namespace kb6
