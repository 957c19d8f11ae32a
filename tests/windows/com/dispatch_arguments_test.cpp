// Calls by name as Automation clients make them, against the registered
// KB6TRAY.exe: arguments of every kind are coerced to the declared types,
// and what cannot be called answers with the HRESULT (and argument index)
// the IDispatch convention gives.
#include <gtest/gtest.h>
#include <objbase.h>

#include "com_client_support.h"

namespace kb6test {
namespace {

struct Apartment {
  Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Apartment() { CoUninitialize(); }
};

class DispatchArguments : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunServer(L"/RegServer /AllUsers"), 0u); }
  void TearDown() override { EXPECT_EQ(RunServer(L"/UnregServer /AllUsers"), 0u); }
};

VARIANT Of(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

TEST_F(DispatchArguments, CoercedAsDispInvokeDoesOrRefusedByTheConvention) {
  Apartment apartment;
  ComPtr<IDispatch> app;
  ASSERT_EQ(CoCreateInstance(CLSID_clsApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(app.GetAddressOf())),
            S_OK);
  Text number_text(L"60100"), word(L"zwölf"), path(L"C:\\Verein Daten äöüß\\club.db");
  VARIANT by_ref_target = Of(VT_BSTR);
  by_ref_target.bstrVal = path.get();
  LONG long_value = 7;

  VARIANT i2 = Of(VT_I2), r8 = Of(VT_R8), boolean = Of(VT_BOOL), bstr = Of(VT_BSTR);
  i2.iVal = 6;
  r8.dblVal = 601.4;
  boolean.boolVal = VARIANT_TRUE;
  bstr.bstrVal = number_text.get();
  VARIANT variant_ref = Of(VT_VARIANT | VT_BYREF), long_ref = Of(VT_I4 | VT_BYREF);
  variant_ref.pvarVal = &by_ref_target;
  long_ref.plVal = &long_value;
  VARIANT bad_text = Of(VT_BSTR), null = Of(VT_NULL), too_big = Of(VT_R8);
  bad_text.bstrVal = word.get();
  too_big.dblVal = 1e12;

  struct Case {
    const wchar_t* name;
    VARIANT value;
    HRESULT expected;
  };
  const Case cases[] = {
      {L"AccessDatenbank", variant_ref, S_OK},  // a script's variable
      {L"Datenpfad", bstr, S_OK},
      {L"SQLServer_DB", boolean, S_OK},
      {L"SQLServer_User", Of(VT_EMPTY), S_OK},
      {L"SQLServer_Passwort", i2, S_OK},
      {L"Programmversion", i2, S_OK},
      {L"Programmversion", r8, S_OK},
      {L"Programmversion", bstr, S_OK},
      {L"Programmversion", boolean, S_OK},
      {L"Programmversion", long_ref, S_OK},
      {L"Programmversion", Of(VT_EMPTY), S_OK},
      {L"Programmversion", bad_text, DISP_E_TYPEMISMATCH},
      {L"Programmversion", null, DISP_E_TYPEMISMATCH},
      {L"Programmversion", too_big, DISP_E_OVERFLOW},
      {L"Datenpfad", null, DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "put " << c.name << " vt " << c.value.vt);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(c.name);
    ASSERT_EQ(app->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT value = c.value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    UINT bad_argument = 99;
    EXPECT_EQ(app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          nullptr, &bad_argument),
              c.expected);
    if (FAILED(c.expected)) {
      EXPECT_EQ(bad_argument, 0u);
    }
  }

  // The calls' shapes: argument counts, named arguments, a get of a
  // write-only property.
  DISPID show = DISPID_UNKNOWN, version = DISPID_UNKNOWN;
  LPOLESTR show_name = const_cast<LPOLESTR>(L"ShowTrayicon");
  LPOLESTR version_name = const_cast<LPOLESTR>(L"Programmversion");
  ASSERT_EQ(app->GetIDsOfNames(IID_NULL, &show_name, 1, LOCALE_USER_DEFAULT, &show), S_OK);
  ASSERT_EQ(app->GetIDsOfNames(IID_NULL, &version_name, 1, LOCALE_USER_DEFAULT, &version), S_OK);
  VARIANT two[2] = {i2, i2};
  DISPID other = 5;
  struct Shape {
    const char* what;
    DISPID id;
    WORD flags;
    DISPPARAMS params;
    HRESULT expected;
  };
  const Shape shapes[] = {
      {"method with an argument",
       show,
       DISPATCH_METHOD,
       {two, nullptr, 1, 0},
       DISP_E_BADPARAMCOUNT},
      {"put with two values",
       version,
       DISPATCH_PROPERTYPUT,
       {two, nullptr, 2, 0},
       DISP_E_BADPARAMCOUNT},
      {"put without a value",
       version,
       DISPATCH_PROPERTYPUT,
       {nullptr, nullptr, 0, 0},
       DISP_E_BADPARAMCOUNT},
      {"put named other than the value",
       version,
       DISPATCH_PROPERTYPUT,
       {two, &other, 1, 1},
       DISP_E_NONAMEDARGS},
      {"get of a write-only property",
       version,
       DISPATCH_PROPERTYGET,
       {nullptr, nullptr, 0, 0},
       DISP_E_MEMBERNOTFOUND},
      {"no such member", 4711, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.what);
    DISPPARAMS params = s.params;
    EXPECT_EQ(app->Invoke(s.id, IID_NULL, LOCALE_USER_DEFAULT, s.flags, &params, nullptr, nullptr,
                          nullptr),
              s.expected);
  }
}

}  // namespace
}  // namespace kb6test
