// Texts across the COM boundary: BSTRs (UTF-16) to and from the UTF-8 used
// inside.
#pragma once

#include <oleauto.h>

#include <string>

#include "platform/windows/text_windows.h"

namespace kb6 {

// A null pointer and a null BSTR are both the empty text.
inline std::string Utf8FromBstrRef(const BSTR* value) {
  if (!value || !*value) return {};
  return Utf8FromWide(std::wstring(*value, SysStringLen(*value)));
}

}  // namespace kb6
