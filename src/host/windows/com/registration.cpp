#include "host/windows/com/registration.h"

#include <objbase.h>
#include <windows.h>

#include "kb6tray_h.h"
#include "platform/windows/text_windows.h"

namespace kb6 {
namespace {

// oleaut32's marshalers: from the type library (dual interfaces) and for
// plain dispinterfaces.
constexpr wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";
constexpr wchar_t kLibName[] = L"KB6TRAY - Korbinar V6 Systemüberwachung";

std::wstring Text(REFGUID guid) {
  wchar_t buffer[39];
  return StringFromGUID2(guid, buffer, 39) > 0 ? buffer : L"";
}

struct ClassNames {
  REFCLSID clsid;
  const wchar_t* progid;
};
struct InterfaceNames {
  REFIID iid;
  const wchar_t* name;
  const wchar_t* marshaler;
};

const ClassNames kClasses[] = {
    {CLSID_clsApplication, L"KB6TRAY.clsApplication"},
    {CLSID_clsAufgaben, L"KB6TRAY.clsAufgaben"},
};
const InterfaceNames kInterfaces[] = {
    {IID__clsApplication, L"_clsApplication", kTypeLibMarshaler},
    {IID__clsAufgaben, L"_clsAufgaben", kTypeLibMarshaler},
    {DIID___clsAufgaben, L"__clsAufgaben", kDispatchMarshaler},
};

HKEY RootOf(RegistryScope scope) {
  return scope == RegistryScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string SetValue(HKEY root, const RegistryEntry& e) {
  const std::wstring path = L"Software\\Classes\\" + e.key;
  HKEY handle = nullptr;
  LSTATUS rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(handle, e.name.empty() ? nullptr : e.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(e.value.c_str()),
                        static_cast<DWORD>((e.value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
  }
  if (rc == ERROR_SUCCESS) return {};
  return "Der Registrierungsschlüssel " + Utf8FromWide(path) +
         " konnte nicht geschrieben werden (Fehler " + std::to_string(rc) + ").";
}

}  // namespace

std::vector<RegistryEntry> ComServerEntries(const std::wstring& exe_path) {
  const std::wstring lib_id = Text(LIBID_KB6TRAY);
  // Quoted: the path may hold blanks; COM appends " -Embedding".
  const std::wstring server = L"\"" + exe_path + L"\"";
  std::vector<RegistryEntry> entries;
  for (const ClassNames& c : kClasses) {
    const std::wstring key = L"CLSID\\" + Text(c.clsid);
    entries.insert(entries.end(), {{c.progid, L"", c.progid},
                                   {std::wstring(c.progid) + L"\\CLSID", L"", Text(c.clsid)},
                                   {key, L"", c.progid},
                                   {key + L"\\LocalServer32", L"", server},
                                   {key + L"\\ProgID", L"", c.progid},
                                   {key + L"\\TypeLib", L"", lib_id},
                                   {key + L"\\VERSION", L"", L"1.0"}});
  }
  for (const InterfaceNames& i : kInterfaces) {
    const std::wstring key = L"Interface\\" + Text(i.iid);
    entries.insert(entries.end(), {{key, L"", i.name},
                                   {key + L"\\ProxyStubClsid", L"", i.marshaler},
                                   {key + L"\\ProxyStubClsid32", L"", i.marshaler},
                                   {key + L"\\TypeLib", L"", lib_id},
                                   {key + L"\\TypeLib", L"Version", L"1.0"}});
  }
  const std::wstring lib = L"TypeLib\\" + lib_id + L"\\1.0";
  const size_t slash = exe_path.find_last_of(L"\\/");
  entries.insert(entries.end(),
                 {{lib, L"", kLibName},
                  {lib + L"\\0\\win64", L"", exe_path},
                  {lib + L"\\0\\win32", L"", exe_path},
                  {lib + L"\\FLAGS", L"", L"0"},
                  {lib + L"\\HELPDIR", L"",
                   slash == std::wstring::npos ? std::wstring() : exe_path.substr(0, slash)}});
  return entries;
}

std::vector<std::wstring> ComServerTopKeys() {
  std::vector<std::wstring> keys;
  for (const ClassNames& c : kClasses) {
    keys.push_back(c.progid);
    keys.push_back(L"CLSID\\" + Text(c.clsid));
  }
  for (const InterfaceNames& i : kInterfaces) keys.push_back(L"Interface\\" + Text(i.iid));
  keys.push_back(L"TypeLib\\" + Text(LIBID_KB6TRAY));
  return keys;
}

std::string RegisterComServer(const std::wstring& exe_path, RegistryScope scope) {
  for (const RegistryEntry& e : ComServerEntries(exe_path)) {
    const std::string error = SetValue(RootOf(scope), e);
    if (!error.empty()) {
      UnregisterComServer(scope);  // no half registration stays behind
      return error;
    }
  }
  return {};
}

std::string UnregisterComServer(RegistryScope scope) {
  std::string error;
  for (const std::wstring& key : ComServerTopKeys()) {
    const std::wstring path = L"Software\\Classes\\" + key;
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
