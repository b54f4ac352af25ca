#pragma once
// The special folders of the Linux machine model, laid out like a Windows
// profile on drive C: (as Wine lays them out), and the environment
// variables that name them for REG_EXPAND_SZ values.

#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

/// The user name of the machine model: the login name, made safe for a
/// folder name ("user" when there is none).
std::wstring MachineUserName();

/// The Windows path of the folder of a CSIDL number, or empty when the
/// machine has no such folder (never the drive's root); `user` is asked
/// only for a folder in the user's profile.
std::wstring KnownFolderPath(int csidl, const std::function<std::wstring()>& user);

/// ExpandEnvironmentStringsW over the machine's variables (SystemRoot,
/// windir, ProgramFiles, APPDATA, USERPROFILE, ...), names matched without
/// regard to case; an unknown %NAME% stays as written.
std::wstring ExpandMachineEnvironment(std::wstring_view text, const std::wstring& user);

}  // namespace kestrel
