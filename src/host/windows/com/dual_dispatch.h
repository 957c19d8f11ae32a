// The IDispatch half of a dual interface, served from the interface's type
// information: late-bound callers (scripts) reach the same methods as
// early-bound ones, through the vtable.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

namespace kb6 {

template <class Dual>
class DualDispatch : public Dual {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = type_info_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0 || !type_info_) return DISP_E_BADINDEX;
    return type_info_.CopyTo(info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!type_info_) return E_UNEXPECTED;
    return DispGetIDsOfNames(type_info_.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override {
    if (!type_info_) return E_UNEXPECTED;
    return DispInvoke(static_cast<Dual*>(this), type_info_.Get(), id, flags, params, result,
                      exception, bad_argument);
  }

 protected:
  explicit DualDispatch(Microsoft::WRL::ComPtr<ITypeInfo> type_info)
      : type_info_(std::move(type_info)) {}
  virtual ~DualDispatch() = default;

 private:
  Microsoft::WRL::ComPtr<ITypeInfo> type_info_;
};

}  // namespace kb6
