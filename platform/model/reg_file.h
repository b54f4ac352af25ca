#pragma once
// Registry files as the Windows registry editor writes and reads them:
//
//   Windows Registry Editor Version 5.00      (or "REGEDIT4"; UTF-16LE or ANSI)
//
//   [HKEY_CURRENT_USER\Software\Foo]          a key, made when missing
//   "Name"="text"                             REG_SZ, escapes \\ and \"
//   @="default"                               the key's unnamed value
//   "Count"=dword:0000002a                    REG_DWORD
//   "Blob"=hex:01,02,\                        REG_BINARY, continued on
//     03                                      the next line
//   "Path"=hex(2):25,00,00,00                 any other type by number
//   "Old"=-                                   removes a value
//   [-HKEY_CURRENT_USER\Software\Bar]         removes a key and its subkeys
//   ; a comment
//
// The importer applies what it can and reports every line it had to skip
// with its number, so one bad line never costs the rest of the file.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/registry_tree.h"

namespace kestrel {

struct RegFileProblem {
  std::size_t line = 0;  ///< counted from 1
  std::wstring reason;
  bool operator==(const RegFileProblem&) const = default;
};

struct RegFileImport {
  bool recognized = false;  ///< the file starts with a registry-file header
  std::size_t applied = 0;  ///< keys made or removed, values set or removed
  std::vector<RegFileProblem> problems;
};

/// Finds the hive of a root name as written in the file
/// ("HKEY_LOCAL_MACHINE"); `path` comes with the key's path below the root
/// and is set to its path inside the hive ("SOFTWARE\Classes\x" for
/// HKEY_CLASSES_ROOT\x).  Null for a root the machine does not have.
using RegHiveResolver = std::function<RegistryTree*(std::wstring_view rootName, std::wstring& path)>;

/// The resolver of the launcher's two hives; HKEY_CLASSES_ROOT is the
/// machine's SOFTWARE\Classes.
RegHiveResolver StandardHives(RegistryTree& localMachine, RegistryTree& currentUser);

/// Applies a registry file's bytes as the registry editor reads them: the
/// file is UTF-16LE after a byte-order mark (or UTF-8 after one), else ANSI
/// text read through `ansiToWide`, whatever its header ("Windows Registry
/// Editor Version 5.00", "REGEDIT4", or "REGEDIT" for the Windows 3.1
/// form); the data of hex(1), hex(2) and hex(7) values follows the file's
/// encoding, ANSI text converted to UTF-16LE, with a closing zero added
/// when missing.  A file without a header changes nothing.
RegFileImport ImportRegFile(std::string_view bytes, const RegHiveResolver& hives,
                            const std::function<std::wstring(std::string_view)>& ansiToWide);

/// Text as a registry file quotes it: \\ \" \r \n escaped.
std::wstring RegFileEscape(std::wstring_view text);

/// A hive as a version 5 registry file, byte for byte as Wine's regedit
/// exports it (UTF-16LE with byte-order mark, CRLF), every key under
/// `rootName`, values and subkeys in the registry's order.  Importing it
/// into an empty hive gives the same hive back.
std::string ExportRegFile(const RegistryTree& tree, std::wstring_view rootName);

}  // namespace kestrel
