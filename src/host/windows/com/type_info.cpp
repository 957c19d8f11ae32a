#include "host/windows/com/type_info.h"

#include <oleauto.h>

#include "platform/windows/module_path.h"

namespace kb6 {

Microsoft::WRL::ComPtr<ITypeInfo> EmbeddedTypeInfo(REFIID iid) {
  Microsoft::WRL::ComPtr<ITypeLib> lib;
  Microsoft::WRL::ComPtr<ITypeInfo> info;
  // REGKIND_NONE: loading must not register anything behind /RegServer's back.
  if (FAILED(LoadTypeLibEx(ExecutablePath().c_str(), REGKIND_NONE, &lib))) return nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(iid, &info))) return nullptr;
  return info;
}

}  // namespace kb6
