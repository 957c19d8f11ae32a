// kb6-com-entries.exe EXE_PATH: prints the registry values the COM server
// needs for KB6TRAY.exe at EXE_PATH, one a line as KEY<TAB>NAME<TAB>VALUE
// (UTF-8, keys below Software\Classes, an empty name for the default
// value). The installer's registry table is made from them, so the package
// writes exactly what /RegServer /AllUsers writes.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/windows/com/registration.h"
#include "platform/windows/text_windows.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: kb6-com-entries EXE_PATH\n", stderr);
    return 2;
  }
  std::string out;
  for (const kb6::RegistryEntry& e : kb6::ComServerEntries(argv[1]))
    out += kb6::Utf8FromWide(e.key) + '\t' + kb6::Utf8FromWide(e.name) + '\t' +
           kb6::Utf8FromWide(e.value) + '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
