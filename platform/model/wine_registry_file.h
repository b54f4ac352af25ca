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
// A file read here is only indexed: the blocks of a key are parsed into a
// tree when the key is first asked for (a prefix's system.reg has some
// 15,000 keys, a launch needs a handful).  Writing it back gives the bytes
// of every block unchanged whose key was not loaded or whose values did
// not change, a fresh block (with a new timestamp) for each key that did,
// and appends keys that are new, so the file stays a diff of what was
// changed.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/model/registry_tree.h"

namespace kestrel {

/// A key's values, as RegistryKey keeps them.
using RegistryValues = std::remove_cvref_t<decltype(std::declval<const RegistryKey&>().values())>;

struct WineRegistryFile {
  WineRegistryFile() = default;
  WineRegistryFile(const WineRegistryFile& other) { *this = other; }
  WineRegistryFile& operator=(const WineRegistryFile& other);
  WineRegistryFile(WineRegistryFile&&) = default;
  WineRegistryFile& operator=(WineRegistryFile&&) = default;

  struct Block {
    std::size_t begin = 0, end = 0;  ///< the block's bytes in `bytes`, from its "[" line to the next
    const std::string* key = nullptr;  ///< its index key (in `index`); null for a key line Wine would
                                       ///< reject: kept, never loaded
    std::size_t next = static_cast<std::size_t>(-1);  ///< the key's next block, if it has several
    std::wstring path;               ///< '\' between names; filled when the block is loaded
    std::string options;             ///< its "#" lines other than "#time=", filled likewise
    bool loaded = false;
  };
  struct Original {
    std::wstring path;
    RegistryValues values;  ///< as the file held them
  };
  std::string bytes;   ///< the whole file
  std::size_t headerEnd = 0;  ///< bytes before the first key
  std::string arch;    ///< "win64", "win32" or empty (no "#arch=" line)
  std::vector<Block> blocks;
  /// The first block of each key, by the index key of its path (WineIndexKey).
  std::unordered_map<std::string, std::size_t> index;
  /// The keys loaded into the tree, by index key, with what they held.
  std::unordered_map<std::string, Original> original;
  /// Keys the file has only as parents of others, loaded as such.
  std::unordered_set<std::string> implicit;
  std::size_t problems = 0;  ///< lines Wine would reject, in the blocks loaded so far
};

/// How a key path is looked up in the index: "\" between names, case
/// folded.
std::string WineIndexKey(std::wstring_view path);

/// Indexes a file's bytes (kept in `file`).  False when it is not a Wine
/// registry file (no "WINE REGISTRY Version 2" first line).
bool ReadWineRegistry(std::string bytes, WineRegistryFile& file);

/// Loads the key at `path` into `tree` (with its parents), and with
/// `branch` every key below it too.  Returns the key, or null when neither
/// the file nor the tree has it.  A key loaded before is left as the tree
/// has it.
RegistryKey* LoadWineKey(WineRegistryFile& file, RegistryTree& tree, std::wstring_view path, bool branch);

/// A new, empty file: `relativeTo` is "REGISTRY\\\\Machine" or the user's
/// key as Wine writes it, `arch` "win64", "win32" or empty.
WineRegistryFile NewWineRegistry(std::string_view relativeTo, std::string_view arch);

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
