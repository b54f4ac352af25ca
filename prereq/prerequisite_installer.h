#pragma once
// Runtime packages a game needs (redistributables, framework installers):
// the numbered sections "1" to "29" of Config.ini list them; each is
// checked, and the installers of the missing ones run one after another,
// each waited for.  It all runs on the worker thread while the main thread
// waits, and reports only through log lines.

#include <string>
#include <vector>

#include "core/launch_context.h"
#include "platform/platform.h"
#include "prereq/prerequisite_entry.h"

namespace kestrel {

/// The prerequisite sections are "1" up to this one.
inline constexpr int kLastPrerequisiteSection = 29;

class PrerequisiteInstaller {
 public:
  explicit PrerequisiteInstaller(Platform& os) : os_(os) {}

  /// Reads the entries of sections "1", "2", ... up to "29"; the list ends
  /// at the first section whose "checkType" is not 1, 2 or 3.  False only
  /// when the configuration file does not exist.
  bool LoadEntries(const std::wstring& configPath, const std::wstring& baseDirectory);
  /// Sets each entry Present or Missing (a kind-2 entry with nothing to
  /// test stays Unchecked).
  bool CheckAll();
  /// Runs the installer of every entry that is not Present, in order.
  bool InstallMissing();

  const std::vector<PrerequisiteEntry>& entries() const { return entries_; }

 private:
  void Check(PrerequisiteEntry& entry);
  void Install(PrerequisiteEntry& entry);
  /// Logs that the entry's module is installed and sets it Present.
  void MarkPresent(PrerequisiteEntry& entry);

  Platform& os_;
  std::wstring baseDirectory_;
  std::vector<PrerequisiteEntry> entries_;
};

/// The worker thread's routine: load, check, install, end.
void RunPrerequisiteInstaller(Platform& os, const LaunchContext& context);

}  // namespace kestrel
