#include "host/windows/com/dual_dispatch.h"

#include <vector>

namespace kb6 {
namespace {

// The description of member `id` that `flags` can call; released with the
// object.
class FuncDescription {
 public:
  FuncDescription(ITypeInfo* info, DISPID id, WORD flags) : info_(info) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return;
    const WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < count && !desc_; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(info->GetFuncDesc(i, &f))) continue;
      if (f->memid == id && Callable(f->invkind, flags))
        desc_ = f;
      else
        info->ReleaseFuncDesc(f);
    }
  }
  ~FuncDescription() {
    if (desc_) info_->ReleaseFuncDesc(desc_);
  }
  FuncDescription(const FuncDescription&) = delete;
  FuncDescription& operator=(const FuncDescription&) = delete;
  const FUNCDESC* get() const { return desc_; }

 private:
  static bool Callable(INVOKEKIND kind, WORD flags) {
    return ((flags & DISPATCH_METHOD) && kind == INVOKE_FUNC) ||
           ((flags & DISPATCH_PROPERTYGET) && kind == INVOKE_PROPERTYGET) ||
           ((flags & DISPATCH_PROPERTYPUT) && kind == INVOKE_PROPERTYPUT) ||
           ((flags & DISPATCH_PROPERTYPUTREF) && kind == INVOKE_PROPERTYPUTREF);
  }

  ITypeInfo* info_;
  FUNCDESC* desc_ = nullptr;
};

// The declared type of a parameter; a pointer becomes VT_BYREF.
VARTYPE DeclaredType(const ELEMDESC& param) {
  const TYPEDESC& t = param.tdesc;
  if (t.vt == VT_PTR && t.lptdesc) return static_cast<VARTYPE>(t.lptdesc->vt | VT_BYREF);
  return t.vt;
}

// VARIANTs cleared when the call is over.
class Values {
 public:
  explicit Values(size_t n) : values_(n) {
    for (VARIANT& v : values_) VariantInit(&v);
  }
  ~Values() {
    for (VARIANT& v : values_) VariantClear(&v);
  }
  Values(const Values&) = delete;
  Values& operator=(const Values&) = delete;
  VARIANT& operator[](size_t i) { return values_[i]; }

 private:
  std::vector<VARIANT> values_;
};

// `arg` as a value of type `want` (without VT_BYREF) in `out`.
HRESULT Coerce(const VARIANT& arg, VARTYPE want, VARIANT& out) {
  const VARIANT* source = &arg;
  while (source->vt == (VT_VARIANT | VT_BYREF) && source->pvarVal) source = source->pvarVal;
  VARIANT plain;
  VariantInit(&plain);
  HRESULT hr = VariantCopyInd(&plain, const_cast<VARIANT*>(source));
  if (SUCCEEDED(hr)) hr = VariantChangeType(&out, &plain, 0, want);
  VariantClear(&plain);
  return hr;
}

}  // namespace

HRESULT InvokeCoerced(void* object, ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) {
  if (!params) return E_INVALIDARG;
  const FuncDescription func(info, id, flags);
  const FUNCDESC* f = func.get();
  if (!f) return DISP_E_MEMBERNOTFOUND;
  // Only a property's new value may come as a named argument.
  const bool put = f->invkind == INVOKE_PROPERTYPUT || f->invkind == INVOKE_PROPERTYPUTREF;
  if (params->cNamedArgs > (put ? 1u : 0u) ||
      (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
    return DISP_E_NONAMEDARGS;
  UINT declared = static_cast<UINT>(f->cParams);
  if (declared > 0 &&
      (f->lprgelemdescParam[declared - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
    --declared;
  if (params->cArgs != declared) return DISP_E_BADPARAMCOUNT;

  // Arguments come last to first; the members take no optional ones.
  Values values(declared);
  std::vector<VARIANTARG> passed(declared);
  for (UINT i = 0; i < declared; ++i) {
    const VARTYPE want = DeclaredType(f->lprgelemdescParam[declared - 1 - i]);
    const VARTYPE base = static_cast<VARTYPE>(want & ~VT_BYREF);
    if (base == VT_VARIANT) {
      passed[i] = params->rgvarg[i];
      continue;
    }
    const HRESULT hr = Coerce(params->rgvarg[i], base, values[i]);
    if (FAILED(hr)) {
      if (bad_argument) *bad_argument = i;
      return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
    VariantInit(&passed[i]);
    if (want & VT_BYREF) {
      passed[i].vt = want;
      passed[i].byref = &values[i].llVal;  // the union's start, whatever the type
    } else {
      passed[i] = values[i];
    }
  }
  DISPPARAMS call{passed.data(), params->rgdispidNamedArgs, declared, params->cNamedArgs};
  return DispInvoke(object, info, id, flags, &call, result, exception, bad_argument);
}

}  // namespace kb6
