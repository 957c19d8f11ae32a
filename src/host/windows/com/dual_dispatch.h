// The IDispatch half of a dual interface, served from the interface's type
// information: late-bound callers (scripts) reach the same methods as
// early-bound ones, through the vtable. Arguments are first coerced to the
// declared types, as Automation servers are expected to do: a script's
// variable arrives as a reference to a VARIANT, a number as text, and so on.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "host/windows/com/com_object.h"

namespace kb6 {

// IDispatch::Invoke on `object` (the dual interface) with every argument
// changed to the type its parameter declares (VariantChangeType, after
// following references). Answers DISP_E_MEMBERNOTFOUND for no such member,
// DISP_E_BADPARAMCOUNT for a wrong number of arguments,
// DISP_E_NONAMEDARGS for named arguments other than a property's value
// (DISPID_PROPERTYPUT), and DISP_E_TYPEMISMATCH (or DISP_E_OVERFLOW) with
// `bad_argument` set for a value that cannot be converted.
HRESULT InvokeCoerced(void* object, ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* bad_argument);

template <class Dual, class... Others>
class DispatchObject : public ComObject<Dual, Others...> {
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
    return InvokeCoerced(static_cast<Dual*>(this), type_info_.Get(), id, flags, params, result,
                         exception, bad_argument);
  }

 protected:
  // `dual`: the dual interface's identifier, whose type information (from
  // the executable's type library) serves the calls by name.
  explicit DispatchObject(REFIID dual);

  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == dual_)
      return static_cast<Dual*>(this);
    return nullptr;
  }

 private:
  IID dual_;
  Microsoft::WRL::ComPtr<ITypeInfo> type_info_;
};

}  // namespace kb6

#include "host/windows/com/type_info.h"

namespace kb6 {

template <class Dual, class... Others>
DispatchObject<Dual, Others...>::DispatchObject(REFIID dual)
    : dual_(dual), type_info_(EmbeddedTypeInfo(dual)) {}

}  // namespace kb6
