// The registry entries of the COM server: both classes with their ProgIDs
// (KB6TRAY.clsApplication, KB6TRAY.clsAufgaben), their interfaces (marshalled
// by the type library marshaler) and the type library itself, embedded in
// the executable. Per user below HKEY_CURRENT_USER\Software\Classes, which
// needs no administrator; machine-wide below HKEY_LOCAL_MACHINE\Software\Classes.
// The identifiers come from the type library's generated header.
#pragma once

#include <string>
#include <vector>

namespace kb6 {

enum class RegistryScope { kUser, kMachine };

// One value below Software\Classes; an empty name is the key's default value.
struct RegistryEntry {
  std::wstring key;
  std::wstring name;
  std::wstring value;
};

// Every value the server needs, LocalServer32 and the type library pointing
// at `exe_path`. The installer's registry table is made from the same list.
std::vector<RegistryEntry> ComServerEntries(const std::wstring& exe_path);
// The keys at the top of those entries; removing these removes everything.
std::vector<std::wstring> ComServerTopKeys();

// Writes every entry for `exe_path` (UTF-16). Returns an empty text on
// success, else what failed (and leaves no half registration).
std::string RegisterComServer(const std::wstring& exe_path, RegistryScope scope);
// Removes every key RegisterComServer writes; missing keys are no failure.
std::string UnregisterComServer(RegistryScope scope);

}  // namespace kb6
