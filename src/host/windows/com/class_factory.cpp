#include "host/windows/com/class_factory.h"

#include <exception>

#include "host/windows/com/server_life.h"

namespace kb6 {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  IUnknown* object = nullptr;
  try {
    object = create_();
  } catch (const std::exception&) {
    return E_OUTOFMEMORY;
  }
  if (!object) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();  // the creation's own reference; frees it when QI failed
  return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock)
    AddServerReference();
  else
    ReleaseServerReference();
  return S_OK;
}

}  // namespace kb6
