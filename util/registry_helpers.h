#pragma once
// Three small registry routines over the shell's SHGetValueW/SHSetValueW:
// game-id records are read from the local machine; the Virtual Drive
// Manager's per-user settings are written before it is started.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

/// The Virtual Drive Manager's settings key under HKEY_CURRENT_USER.
inline constexpr wchar_t kDriveManagerSettingsKey[] = L"Software\\Towodo Software\\Virtual Drive Manager\\Settings";

/// Reads a string value of HKEY_LOCAL_MACHINE into 260 characters.  1 when
/// the value was read; 0 otherwise.  `out` is always assigned: the text up
/// to its first zero, or empty (also for a value that does not fit).
int ReadMachineString(Platform& os, const std::wstring& subKey, std::wstring& out, const std::wstring& valueName);

/// Writes the REG_DWORD 1 under `valueName` in the settings key.  1 on
/// success.
int SetDriveManagerOption(Platform& os, const std::wstring& valueName);

/// Writes "LastMounts" (REG_MULTI_SZ) in the settings key: each string
/// (cut to 259 characters) and its zero, then one more zero; an empty list
/// is two zeros (4 bytes).  1 on success.
int WriteDriveManagerMounts(Platform& os, const std::vector<std::wstring>& list);

}  // namespace kestrel
