// kestrel-system: regedit, regsvr32, wscript and subst for the Linux machine
// model.  "kestrel-system subst X: PATH", or a link named "subst".

#include <iostream>
#include <string>
#include <vector>

#include "kestrel_version.h"
#include "platform/linux/program_start.h"
#include "text/utf.h"
#include "tools/kestrel_system/system_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string self = argv[0];
  self = self.substr(self.rfind('/') + 1);
  std::string tool;
  if (!kestrel::SystemToolOf(kestrel::Utf8ToWide(self)).empty()) {
    tool = self;
  } else if (args.size() == 1 && args[0] == "--version") {
    std::cout << "kestrel-system " << kestrel::kKestrelVersion << '\n';
    return 0;
  } else if (!args.empty()) {
    tool = args.front();
    args.erase(args.begin());
  } else {
    std::cerr << "usage: kestrel-system regedit|regsvr32|wscript|subst|wineboot [ARGS] | --version\n"
                 "  regedit /s FILE | regedit /e FILE [KEY]\n"
                 "  subst | subst X: PATH | subst X: /D\n"
                 "  regsvr32 [/s] [/u] FILE | wscript FILE [ARGS]   (through Wine)\n"
                 "  wineboot   (prepares the root as a Wine prefix, once, before the first game)\n"
                 "The machine is $KESTREL_ROOT (default ~/.local/share/kestrelex).\n";
    return 1;
  }
  kestrel::MachineRoot root;
  kestrel::ToolContext context{root, std::cout, std::cerr};
  return kestrel::RunSystemTool(tool, args, context);
}
