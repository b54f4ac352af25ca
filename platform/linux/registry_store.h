#pragma once
// The registry of the Linux machine model is Wine's own: HKEY_LOCAL_MACHINE
// in $KESTREL_ROOT/system.reg and HKEY_CURRENT_USER in
// $KESTREL_ROOT/user.reg, in Wine's text format, so that the Windows
// programs Wine runs in the root (a Wine prefix) read what the launcher
// wrote.  HKEY_LOCAL_MACHINE\Software is seen as a 32-bit program sees it:
// in a 64-bit prefix it is Software\Wow6432Node (wow64_view.h).
//
// Each file is parsed at most once per process, and re-read only when it
// changes on disk; a process that never asks reads nothing.  Writers take
// the store's lock (registry.lock), so launchers never lose each other's
// changes, and then Wine's server lock of the prefix:
//   - while no wineserver serves the prefix, the file is replaced
//     atomically while that lock is held, so no server can load the
//     registry half-way through (a server that starts meanwhile waits);
//   - while one does, it holds the registry in memory and would write its
//     own copy back, so the change goes through Wine itself: a temporary
//     registry file imported with Wine's "regedit /s", waited for (at most
//     kWineImportSeconds).  The files show it once the server saves (it
//     does every 30 seconds and when it ends); reads in this process see
//     it at once.
// Keys the launcher does not change keep their bytes as Wine wrote them.
// Registry files of earlier versions (HKLM.reg, HKCU.reg in the root) are
// merged in on first use and kept as HKLM.reg.migrated, HKCU.reg.migrated.

#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <string>

#include "platform/model/reg_file.h"
#include "platform/model/registry_tree.h"
#include "platform/model/wine_registry_file.h"
#include "platform/platform.h"

namespace kestrel {

class RegistryStore {
 public:
  using Diagnostics = std::function<void(const std::wstring&)>;
  using AnsiToWide = std::function<std::wstring(std::string_view)>;
  static constexpr int kWineImportSeconds = 60;

  RegistryStore(std::string directory, Diagnostics diagnostics, AnsiToWide ansi);

  /// The file of a hive.
  std::string HivePath(RegRoot root) const;
  /// A key by its path as the launcher names it (HKEY_LOCAL_MACHINE\Software
  /// in the 32-bit view), loaded from the file when first asked for; null
  /// when missing.  `create` (writers only) makes it with its parents.
  using KeyLookup = std::function<const RegistryKey*(std::wstring_view path)>;
  using KeyAccess = std::function<RegistryKey*(std::wstring_view path, bool create)>;

  /// Runs `read` on the current content of a hive.
  void Read(RegRoot root, const std::function<void(const KeyLookup&)>& read);
  /// Runs `read` on a key with every key below it loaded (null when it is
  /// missing); the empty path is the whole hive as Wine stores it.
  void ReadBranch(RegRoot root, std::wstring_view path, const std::function<void(const RegistryKey*)>& read);
  /// Lets `change` change a hive and stores the result when it returns
  /// true.  Returns 0 or a Windows error code.
  std::uint32_t Write(RegRoot root, const std::function<bool(const KeyAccess&)>& change);
  /// Imports a registry file's bytes (keys named as the launcher names
  /// them) into both hives; the other roots it names are reported as
  /// problems.  `error` receives 0 or the Windows error of a failed store.
  RegFileImport Import(std::string_view bytes, std::uint32_t& error);

 private:
  struct Hive {
    RegistryTree tree;
    WineRegistryFile file;
    bool loaded = false;
    bool clean = true;  // a Wine registry file (or none yet)
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
  };
  Hive& HiveOf(RegRoot root) { return root == RegRoot::kLocalMachine ? localMachine_ : currentUser_; }
  bool Wow64(RegRoot root) const;
  /// The path in the hive's tree of a path as the launcher names it.
  std::wstring TreePath(RegRoot root, std::wstring_view path);
  RegistryKey* Key(RegRoot root, std::wstring_view path, bool create, bool branch);
  void Refresh(RegRoot root);
  void Migrate();
  /// Stores the changed hives; `machine`, `user` say which.
  std::uint32_t Store(bool machine, bool user);
  std::uint32_t Save(RegRoot root);
  /// What changed in the hives since they were read or stored, as a
  /// registry file (version 5) with the files' own key paths.
  std::wstring ChangesText(bool machine, bool user) const;
  /// Imports `text` with Wine's regedit, waited for; on failure the named
  /// hives are read again from their files.
  std::uint32_t SendThroughWine(const std::wstring& text, bool machine, bool user);
  RegFileImport ImportUnlocked(std::string_view bytes, bool& machine, bool& user);

  std::string directory_;
  Diagnostics diagnostics_;
  AnsiToWide ansi_;
  std::mutex mutex_;  // a worker thread may use the registry while the main thread waits
  bool migrated_ = false;
  Hive localMachine_;
  Hive currentUser_;
};

}  // namespace kestrel
