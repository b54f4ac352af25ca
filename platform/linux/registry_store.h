#pragma once
// The registry of the Linux machine model: HKEY_LOCAL_MACHINE in
// $KESTREL_ROOT/HKLM.reg and HKEY_CURRENT_USER in $KESTREL_ROOT/HKCU.reg,
// each a version 5 registry-editor export (UTF-16LE with byte-order mark),
// so an operator can read, diff and import them anywhere.
//
// Reads use a copy parsed once and re-read when the file changes.  Writers
// take the store's lock (registry.lock), re-read the file under it, apply
// their change and replace the file atomically, so two launchers writing
// at once lose nothing and a killed one leaves the old or the new file.  A
// file that cannot be parsed whole is copied aside before it is first
// written, and the copy is named on the diagnostic channel.

#include <sys/stat.h>

#include <functional>
#include <mutex>
#include <string>

#include "platform/model/reg_file.h"
#include "platform/model/registry_tree.h"
#include "platform/platform.h"

namespace kestrel {

class RegistryStore {
 public:
  using Diagnostics = std::function<void(const std::wstring&)>;
  using AnsiToWide = std::function<std::wstring(std::string_view)>;

  RegistryStore(std::string directory, Diagnostics diagnostics, AnsiToWide ansi);

  /// The file of a hive.
  std::string HivePath(RegRoot root) const;
  /// The root name a hive has in registry files.
  static std::wstring RootName(RegRoot root);

  /// Runs `read` on the current content of a hive.
  void Read(RegRoot root, const std::function<void(const RegistryTree&)>& read);
  /// Applies `change` to a hive under the lock and stores the result when
  /// `change` returns true.  Returns 0 or a Windows error code.
  std::uint32_t Write(RegRoot root, const std::function<bool(RegistryTree&)>& change);
  /// Imports a registry file's bytes into both hives (the other roots it
  /// names are reported as problems); each hive that changed is replaced
  /// in one step.  `error` receives 0 or the Windows error of a failed
  /// store.
  RegFileImport Import(std::string_view bytes, std::uint32_t& error);

 private:
  struct Hive {
    RegistryTree tree;
    bool loaded = false;
    bool clean = true;  // the file parsed whole (or is missing)
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
  };
  Hive& HiveOf(RegRoot root) { return root == RegRoot::kLocalMachine ? localMachine_ : currentUser_; }
  void Refresh(RegRoot root);
  std::uint32_t Save(RegRoot root);

  std::string directory_;
  Diagnostics diagnostics_;
  AnsiToWide ansi_;
  std::mutex mutex_;  // a worker thread may use the registry while the main thread waits
  Hive localMachine_;
  Hive currentUser_;
};

}  // namespace kestrel
