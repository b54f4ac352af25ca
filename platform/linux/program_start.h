#pragma once
// How a Windows program start runs on the Linux machine model.  The file
// or command line is resolved the Windows way (Windows paths through the
// machine's drives, bare names searched in the launcher's folder, the
// current folder, C:\windows\system32, C:\windows\system, C:\windows and
// PATH, ".exe" tried first when the name has no extension), then:
//
//   - regedit, regsvr32, wscript and subst (with or without ".exe", from
//     any folder) run the machine's own system tool;
//   - a PE image runs through Wine when Wine is there (KESTREL_WINE=0 turns
//     it off, KESTREL_WINE=/path names it), else fails with 193;
//   - any other file with an execute bit runs directly: a native game or a
//     script with a "#!" line;
//   - a native program or script without its execute bit fails with 5;
//   - through the shell only: batch files, installer packages and scripts
//     run through Wine, and URLs, folders and documents open with
//     xdg-open; without them the start fails with 1155 (no association).
//
// Never through a shell: the parameters are split into arguments by the
// Windows rules and handed over as they are.

#include <cstdint>
#include <string>

#include "platform/linux/detached_spawn.h"
#include "platform/linux/machine_root.h"

namespace kestrel {

/// What the machine offers for starting programs, looked up at each start
/// (PATH and the environment may change between starts).
struct StartTools {
  std::string launcherDir;  ///< host folder of the running program
  std::string systemTool;   ///< our system tool; empty when missing
  std::string wine;         ///< empty when absent or turned off
  std::string xdgOpen;      ///< empty when absent

  /// The system tool is KESTREL_SYSTEM_TOOL, else "kestrel-system" beside
  /// the running program.
  static StartTools Detect();
};

struct StartPlan {
  SpawnRequest request;
  std::uint32_t error = 0;  ///< the Windows error when nothing can run
  bool throughWine = false;  ///< the program runs in the machine root's Wine prefix
};

class ProgramStarter {
 public:
  ProgramStarter(MachineRoot& root, StartTools tools) : root_(root), tools_(std::move(tools)) {}

  /// ShellExecuteW's "open" of `file` (a path, a bare name, a document, a
  /// folder or a URL) with `parameters` in `directory` (none when empty).
  StartPlan ShellExecute(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory);
  /// CreateProcessW of `commandLine` in `directory` (none when empty).
  StartPlan CreateProcess(const std::wstring& commandLine, const std::wstring& directory);

 private:
  enum class Via { kShell, kProcess };
  StartPlan Plan(Via via, const std::wstring& name, const std::wstring& parameters, const std::wstring& directory);
  /// The host path of a program or file; false with error 2 or 3.
  bool Locate(Via via, const std::wstring& name, const std::wstring& directory, std::string& host,
              std::uint32_t& error);
  std::vector<std::string> SearchDirs(Via via, const std::wstring& directory);
  StartPlan Tool(const std::string& tool, const std::vector<std::string>& args);
  StartPlan Wine(const std::vector<std::string>& args);
  std::vector<std::string> ChildEnvironment(bool wine);

  MachineRoot& root_;
  StartTools tools_;
};

/// The system tool a program name stands for ("regedit", "regsvr32",
/// "wscript", "subst"), or empty.  `name` may carry a folder and ".exe".
std::string SystemToolOf(std::wstring_view name);

/// The host path of `name` in the folders of PATH, or empty.
std::string FindOnPath(const std::string& name);

}  // namespace kestrel
