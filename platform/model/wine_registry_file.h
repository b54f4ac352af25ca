#pragma once
// Wine's registry files (system.reg, user.reg in a prefix), text version 2:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\Machine
//
//   #arch=win64
//
//   [Software\\Foo] 1796748954          key (escaped, "\\" between names), seconds since 1970
//   #time=1dd8734fceda6c4                 the key's FILETIME in hex
//   #link                                 other "#" options are kept as they are
//   "Name"="text"                         REG_SZ; \\ \" \n \xNNNN \NNN escapes, UTF-8
//   @="default"                           the unnamed value
//   "Path"=str(2):"%SystemRoot%"          REG_EXPAND_SZ (str(7): REG_MULTI_SZ)
//   "Count"=dword:0000002a                REG_DWORD
//   "Blob"=hex:01,02,\                    REG_BINARY, continued on the next line;
//     03                                  hex(N): any other type
//
// A file read here keeps the bytes of every key block; writing it back
// gives those bytes unchanged for each key whose values did not change, a
// fresh block (with a new timestamp) for each key that did, and appends
// keys that are new, so the file stays a diff of what was changed.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/model/registry_tree.h"

namespace kestrel {

struct WineRegistryFile {
  struct Block {
    std::wstring path;    ///< '\' between names, relative to the hive
    std::string text;     ///< the block's bytes, from its "[" line to the next
    std::string options;  ///< its "#" lines other than "#time=", to keep them
  };
  std::string header;  ///< bytes before the first key, kept as they are
  std::string arch;    ///< "win64", "win32" or empty (no "#arch=" line)
  std::vector<Block> blocks;
  /// The values each key had when read, by upper-cased path.
  std::unordered_map<std::wstring, std::vector<std::pair<std::wstring, RegistryValue>>> original;
  std::size_t problems = 0;  ///< lines Wine itself would reject
};

/// Reads a file into `tree` (emptied first) and `file`.  False when it is
/// not a Wine registry file (no "WINE REGISTRY Version 2" first line);
/// lines that Wine would reject are counted in `file.problems` and skipped.
bool ReadWineRegistry(std::string_view bytes, RegistryTree& tree, WineRegistryFile& file);

/// A new, empty file's header: `relativeTo` is "REGISTRY\\Machine" or the
/// user's key, `arch` "win64", "win32" or empty.
std::string WineRegistryHeader(std::string_view relativeTo, std::string_view arch);

/// The file's bytes for `tree`; `now` is the FILETIME (100 ns since 1601)
/// given to keys that changed.  `file` is brought up to date with what was
/// written, so it describes the new bytes.
std::string WriteWineRegistry(const RegistryTree& tree, WineRegistryFile& file, std::uint64_t now);

/// One key block as Wine writes it, without the blank line before it.
std::string WineKeyBlock(std::wstring_view path, const RegistryKey& key, std::uint64_t filetime,
                         std::string_view options);

/// The FILETIME of a POSIX time in seconds and nanoseconds.
std::uint64_t FileTimeOf(std::int64_t seconds, long nanoseconds);

}  // namespace kestrel
