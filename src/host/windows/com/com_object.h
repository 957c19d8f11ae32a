// IUnknown for the server's objects, written once: a thread-safe reference
// count, QueryInterface from the object's own list of interfaces, and one
// server-process reference for as long as the object lives, so that COM
// suspends the class objects and the server ends after the last release.
#pragma once

#include <unknwn.h>

#include <atomic>

#include "host/windows/com/server_life.h"

namespace kb6 {

template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = Find(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      LastRelease();
      delete this;  // COM's own rule: the last Release frees the object.
    }
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  // The pointer for `iid` (IID_IUnknown included), or null.
  virtual void* Find(REFIID iid) = 0;
  // Runs before the object is freed, while every member still lives.
  virtual void LastRelease() {}

 private:
  std::atomic<ULONG> refs_{1};
  ServerReference server_;
};

}  // namespace kb6
