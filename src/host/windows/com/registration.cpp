#include "host/windows/com/registration.h"

#include <windows.h>

#include <string>

#include "platform/windows/text_windows.h"

namespace kb6 {
namespace {

constexpr wchar_t kLibId[] = L"{C9EB92F5-95A6-40C2-A9BC-02FCD6750568}";
constexpr wchar_t kClsidApplication[] = L"{F7564374-D03C-42A9-A1D0-6898B6916CE0}";
constexpr wchar_t kClsidAufgaben[] = L"{486A222A-0DEA-4F30-8E6A-4312FED26EFA}";
constexpr wchar_t kIidApplication[] = L"{3E4965EC-6006-4448-810C-2FAFC68168F4}";
constexpr wchar_t kIidAufgaben[] = L"{2E1E9A2B-CFCC-4F15-880F-9EA6D143830D}";
constexpr wchar_t kDiidAufgabenEvents[] = L"{8AD772DC-81CE-4533-9E97-326A219C0FCD}";
// oleaut32's marshalers: from the type library (dual interfaces) and for
// plain dispinterfaces.
constexpr wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";

const wchar_t* const kTopKeys[] = {
    L"KB6TRAY.clsApplication",
    L"KB6TRAY.clsAufgaben",
    L"CLSID\\{F7564374-D03C-42A9-A1D0-6898B6916CE0}",
    L"CLSID\\{486A222A-0DEA-4F30-8E6A-4312FED26EFA}",
    L"Interface\\{3E4965EC-6006-4448-810C-2FAFC68168F4}",
    L"Interface\\{2E1E9A2B-CFCC-4F15-880F-9EA6D143830D}",
    L"Interface\\{8AD772DC-81CE-4533-9E97-326A219C0FCD}",
    L"TypeLib\\{C9EB92F5-95A6-40C2-A9BC-02FCD6750568}",
    nullptr,
};

HKEY RootOf(RegistryScope scope) {
  return scope == RegistryScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class Writer {
 public:
  explicit Writer(RegistryScope scope) : root_(RootOf(scope)) {}
  // Sets the value `name` (null: the default value) of the key below
  // Software\Classes, creating the key.
  void Set(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    if (!error_.empty()) return;
    const std::wstring path = L"Software\\Classes\\" + key;
    HKEY handle = nullptr;
    LSTATUS rc = RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
      rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(handle);
    }
    if (rc != ERROR_SUCCESS)
      error_ = "Der Registrierungsschlüssel " + Utf8FromWide(path) +
               " konnte nicht geschrieben werden (Fehler " + std::to_string(rc) + ").";
  }
  const std::string& error() const { return error_; }

 private:
  HKEY root_;
  std::string error_;
};

void WriteClass(Writer& w, const std::wstring& clsid, const std::wstring& progid,
                const std::wstring& server) {
  w.Set(progid, nullptr, progid);
  w.Set(progid + L"\\CLSID", nullptr, clsid);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid;
  w.Set(key, nullptr, progid);
  w.Set(key + L"\\LocalServer32", nullptr, server);
  w.Set(key + L"\\ProgID", nullptr, progid);
  w.Set(key + L"\\TypeLib", nullptr, kLibId);
  w.Set(key + L"\\VERSION", nullptr, L"1.0");
}

void WriteInterface(Writer& w, const std::wstring& iid, const std::wstring& name,
                    const wchar_t* marshaler) {
  const std::wstring key = std::wstring(L"Interface\\") + iid;
  w.Set(key, nullptr, name);
  w.Set(key + L"\\ProxyStubClsid", nullptr, marshaler);
  w.Set(key + L"\\ProxyStubClsid32", nullptr, marshaler);
  w.Set(key + L"\\TypeLib", nullptr, kLibId);
  w.Set(key + L"\\TypeLib", L"Version", L"1.0");
}

}  // namespace

const wchar_t* const* ComServerTopKeys() { return kTopKeys; }

std::string RegisterComServer(const std::wstring& exe_path, RegistryScope scope) {
  Writer w(scope);
  // Quoted: the path may hold blanks; COM appends " -Embedding".
  const std::wstring server = L"\"" + exe_path + L"\"";
  WriteClass(w, kClsidApplication, L"KB6TRAY.clsApplication", server);
  WriteClass(w, kClsidAufgaben, L"KB6TRAY.clsAufgaben", server);
  WriteInterface(w, kIidApplication, L"_clsApplication", kTypeLibMarshaler);
  WriteInterface(w, kIidAufgaben, L"_clsAufgaben", kTypeLibMarshaler);
  WriteInterface(w, kDiidAufgabenEvents, L"__clsAufgaben", kDispatchMarshaler);
  const std::wstring lib = std::wstring(L"TypeLib\\") + kLibId + L"\\1.0";
  const size_t slash = exe_path.find_last_of(L"\\/");
  w.Set(lib, nullptr, L"KB6TRAY - Korbinar V6 Systemüberwachung");
  w.Set(lib + L"\\0\\win64", nullptr, exe_path);
  w.Set(lib + L"\\0\\win32", nullptr, exe_path);
  w.Set(lib + L"\\FLAGS", nullptr, L"0");
  w.Set(lib + L"\\HELPDIR", nullptr,
        slash == std::wstring::npos ? std::wstring() : exe_path.substr(0, slash));
  if (!w.error().empty()) {
    UnregisterComServer(scope);  // no half registration stays behind
    return w.error();
  }
  return {};
}

std::string UnregisterComServer(RegistryScope scope) {
  std::string error;
  for (const wchar_t* const* key = kTopKeys; *key; ++key) {
    const std::wstring path = std::wstring(L"Software\\Classes\\") + *key;
    const LSTATUS rc = RegDeleteTreeW(RootOf(scope), path.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
      // RegDeleteTree empties the key; the key itself may stay on some systems.
      RegDeleteKeyW(RootOf(scope), path.c_str());
      continue;
    }
    if (error.empty())
      error = "Der Registrierungsschlüssel " + Utf8FromWide(path) +
              " konnte nicht entfernt werden (Fehler " + std::to_string(rc) + ").";
  }
  return error;
}

}  // namespace kb6
