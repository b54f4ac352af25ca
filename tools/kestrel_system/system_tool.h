#pragma once
// kestrel-system: the Linux machine model's stand-in for the Windows system
// programs the launcher drives, with real effects on the machine:
//
//   regedit /s FILE          imports a registry file into the registry store
//   regedit /e FILE [KEY]    exports the registry (or one key) to a file
//   subst                    lists the substituted drives
//   subst X: PATH            maps drive X: onto a folder
//   subst X: /D              removes that mapping
//   regsvr32 [/s] [/u] FILE  registers a component, through Wine
//   wscript FILE [ARGS]      runs a script, through Wine
//   wineboot                 sets the machine root up as a Wine prefix and waits
//
// One program serves all of them: the tool is named by the program's own
// name (a link called "subst") or by the first argument.

#include <ostream>
#include <string>
#include <vector>

#include "platform/linux/machine_root.h"

namespace kestrel {

struct ToolContext {
  MachineRoot& root;
  std::ostream& out;
  std::ostream& err;
};

/// Runs `tool` ("regedit", "subst", "regsvr32", "wscript", any case, with
/// or without ".exe") with its arguments; returns the exit code.
int RunSystemTool(const std::string& tool, const std::vector<std::string>& args, ToolContext& context);

int RunRegedit(const std::vector<std::string>& args, ToolContext& context);
int RunSubst(const std::vector<std::string>& args, ToolContext& context);
/// regsvr32 and wscript: through Wine when it is there, else a reason and
/// exit code 3.
int RunThroughWine(const std::string& tool, const std::vector<std::string>& args, ToolContext& context);
/// Wine's prefix set-up in the machine root, waited for with its server.
int RunWineboot(ToolContext& context);

}  // namespace kestrel
