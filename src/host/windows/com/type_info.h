// The type information of the classes, read from the type library embedded
// in the executable; the IDispatch half of the dual interfaces is served
// from it, so names and dispatch identifiers come from one source.
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

namespace kb6 {

// The type information of interface `iid` of the running executable's type
// library; null when it cannot be loaded.
Microsoft::WRL::ComPtr<ITypeInfo> EmbeddedTypeInfo(REFIID iid);

}  // namespace kb6
