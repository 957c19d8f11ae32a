#include "host/windows/com/com_application.h"

#include <exception>

#include "host/windows/com/bstr_text.h"

namespace kb6 {

ComApplication::ComApplication(std::shared_ptr<ServedMonitor> served)
    : DispatchObject(IID__clsApplication),
      served_(std::move(served)),
      monitor_(served_->monitor()) {
  NoteObjectServed();
}

void ComApplication::LastRelease() { monitor_.ClassTerminate(); }

// No member reports a failure to the host: each traps its own errors, and
// no C++ exception may unwind into the COM runtime's frames.
HRESULT ComApplication::ShowTrayicon() {
  try {
    monitor_.app().ShowTrayicon();
    served_->NoteWindowState();
  } catch (const std::exception&) {
  }
  return S_OK;
}

HRESULT ComApplication::CloseTrayIcon() {
  try {
    monitor_.app().CloseTrayIcon();
  } catch (const std::exception&) {
  }
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
