// The class object COM asks for a new instance. It lives as long as the
// server and holds no reference count of its own; LockServer counts as a
// host reference in ServerLife.
#pragma once

#include <unknwn.h>

#include <functional>

#include "host/windows/com/server_life.h"

namespace kb6 {

class ClassFactory final : public IClassFactory {
 public:
  // `create` makes a new object with one reference, or returns null.
  ClassFactory(ServerLife& life, std::function<IUnknown*()> create)
      : life_(life), create_(std::move(create)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ServerLife& life_;
  std::function<IUnknown*()> create_;
};

}  // namespace kb6
