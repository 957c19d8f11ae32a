#include <windows.h>

#include "platform/windows/text_windows.h"
#include "test_support.h"

namespace kb6::test {

std::string Utf8FromLogText(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return Utf8FromWide(wide);
}

}  // namespace kb6::test
