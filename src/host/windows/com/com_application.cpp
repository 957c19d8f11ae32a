#include "host/windows/com/com_application.h"

#include <exception>

#include "host/windows/com/bstr_text.h"
#include "host/windows/com/type_info.h"
#include "host/windows/monitor_windows.h"

namespace kb6 {

ComApplication::ComApplication(WindowsMonitor& monitor, ServerLife& life)
    : DualDispatch(EmbeddedTypeInfo(IID__clsApplication)), monitor_(monitor), life_(life) {
  life_.ObjectCreated();
}

HRESULT ComApplication::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__clsApplication) {
    *out = static_cast<_clsApplication*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG ComApplication::AddRef() { return ++refs_; }

ULONG ComApplication::Release() {
  const ULONG left = --refs_;
  if (left == 0) {
    monitor_.ClassTerminate();
    ServerLife& life = life_;
    delete this;  // COM's own lifetime rule: the last Release frees the object.
    life.ObjectReleased();
  }
  return left;
}

// No member reports a failure to the host: each traps its own errors.
HRESULT ComApplication::ShowTrayicon() {
  monitor_.app().ShowTrayicon();
  return S_OK;
}

HRESULT ComApplication::CloseTrayIcon() {
  monitor_.app().CloseTrayIcon();
  return S_OK;
}

namespace {

template <class Write>
HRESULT Put(Write write) {
  try {
    write();
  } catch (const std::exception&) {
  }
  return S_OK;
}

}  // namespace

HRESULT ComApplication::put_Datenpfad(BSTR* v) {
  return Put([&] { monitor_.app().Datenpfad(Utf8FromBstrRef(v)); });
}
HRESULT ComApplication::put_Programmversion(LONG* v) {
  return Put([&] { monitor_.app().Programmversion(v ? static_cast<int32_t>(*v) : 0); });
}
HRESULT ComApplication::put_AccessDatenbank(BSTR* v) {
  return Put([&] { monitor_.app().AccessDatenbank(Utf8FromBstrRef(v)); });
}
HRESULT ComApplication::put_SQLServer_Host(BSTR* v) {
  return Put([&] { monitor_.app().SQLServer_Host(Utf8FromBstrRef(v)); });
}
HRESULT ComApplication::put_SQLServer_DB(BSTR* v) {
  return Put([&] { monitor_.app().SQLServer_DB(Utf8FromBstrRef(v)); });
}
HRESULT ComApplication::put_SQLServer_User(BSTR* v) {
  return Put([&] { monitor_.app().SQLServer_User(Utf8FromBstrRef(v)); });
}
HRESULT ComApplication::put_SQLServer_Passwort(BSTR* v) {
  return Put([&] { monitor_.app().SQLServer_Passwort(Utf8FromBstrRef(v)); });
}

}  // namespace kb6
