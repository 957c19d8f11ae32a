#include "host/windows/com/type_info.h"

#include <oleauto.h>

#include <string>

namespace kb6 {

Microsoft::WRL::ComPtr<ITypeInfo> EmbeddedTypeInfo(REFIID iid) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  Microsoft::WRL::ComPtr<ITypeLib> lib;
  Microsoft::WRL::ComPtr<ITypeInfo> info;
  // REGKIND_NONE: loading must not register anything behind /RegServer's back.
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib))) return nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(iid, &info))) return nullptr;
  return info;
}

}  // namespace kb6
