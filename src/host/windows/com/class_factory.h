// The class object COM asks for a new instance. It lives as long as the
// server and holds no reference count of its own; LockServer holds a
// server-process reference.
#pragma once

#include <unknwn.h>

#include <functional>

namespace kb6 {

class ClassFactory final : public IClassFactory {
 public:
  // `create` makes a new object with one reference, or returns null.
  explicit ClassFactory(std::function<IUnknown*()> create) : create_(std::move(create)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  std::function<IUnknown*()> create_;
};

}  // namespace kb6
