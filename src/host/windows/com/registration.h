// The registry entries of the COM server: both classes with their ProgIDs
// (KB6TRAY.clsApplication, KB6TRAY.clsAufgaben), their interfaces (marshalled
// by the type library marshaler) and the type library itself, embedded in
// the executable. Per user below HKEY_CURRENT_USER\Software\Classes, which
// needs no administrator; machine-wide below HKEY_LOCAL_MACHINE\Software\Classes.
#pragma once

#include <string>

namespace kb6 {

enum class RegistryScope { kUser, kMachine };

// Writes every entry, pointing LocalServer32 at `exe_path` (UTF-16). Returns
// an empty text on success, else what failed.
std::string RegisterComServer(const std::wstring& exe_path, RegistryScope scope);
// Removes every key RegisterComServer writes; missing keys are no failure.
std::string UnregisterComServer(RegistryScope scope);

// The keys (relative to the scope's Software\Classes) RegisterComServer
// creates at their top; removing these removes everything it wrote.
const wchar_t* const* ComServerTopKeys();

}  // namespace kb6
