// regsvr32 and wscript: Windows components and scripts only run through
// Wine.  Without it they fail with a one-line reason; nothing pretends to
// have succeeded.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/linux/detached_spawn.h"
#include "platform/linux/program_start.h"
#include "text/utf.h"
#include "tools/kestrel_system/system_tool.h"

namespace kestrel {

namespace {

constexpr int kFailed = 1;
constexpr int kCannotRun = 3;  // regsvr32's "the module failed to load"

/// A path Wine understands in any prefix: drive Z: is the host's "/".
std::string WinePath(const std::string& host) {
  std::string out = "Z:" + host;
  for (char& ch : out)
    if (ch == '/') ch = '\\';
  return out;
}

}  // namespace

int RunThroughWine(const std::string& tool, const std::vector<std::string>& args, ToolContext& c) {
  // The first argument that is not a switch is the file.
  std::vector<std::string> wineArgs;
  std::string file;
  for (const std::string& a : args) {
    if (file.empty() && !a.empty() && (a[0] == '/' || a[0] == '-') && a.size() <= 3 && tool == "regsvr32") {
      wineArgs.push_back(a);
      continue;
    }
    if (!file.empty()) {
      wineArgs.push_back(a);
      continue;
    }
    file = a;
    std::string host;
    std::uint32_t error;
    struct stat st;
    if (!c.root.ToHost(Utf8ToWide(a), host, error) || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      c.err << tool << ": " << a << " was not found\n";
      return kCannotRun;
    }
    wineArgs.push_back(WinePath(c.root.PlainHost(host)));
  }
  if (file.empty()) {
    c.err << "usage: " << tool << (tool == "regsvr32" ? " [/s] [/u] FILE\n" : " FILE [ARGS]\n");
    return kFailed;
  }
  StartTools tools = StartTools::Detect();
  if (tools.wine.empty()) {
    c.err << tool << ": cannot " << (tool == "regsvr32" ? "register " : "run ") << file << ": "
          << (tool == "regsvr32" ? "a Windows component" : "a Windows script")
          << " needs Wine, which is not installed here (or KESTREL_WINE=0)\n";
    return kCannotRun;
  }
  SpawnRequest request;
  request.program = tools.wine;
  request.args = {tools.wine, tool};
  request.args.insert(request.args.end(), wineArgs.begin(), wineArgs.end());
  const char* prefix = std::getenv("WINEPREFIX");
  request.env = EnvironmentWith({"KESTREL_ROOT=" + c.root.root(),
                                 "WINEPREFIX=" + std::string(prefix && *prefix ? prefix : c.root.root())});
  pid_t pid = 0;
  if (int err = SpawnChild(request, pid); err != 0) {
    c.err << tool << ": Wine could not be started (errno " << err << ")\n";
    return kCannotRun;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : kCannotRun;
}

int RunWineboot(ToolContext& c) {
  if (!c.root.Ensure()) {
    c.err << "wineboot: the machine root " << c.root.root() << " cannot be made\n";
    return kFailed;
  }
  StartTools tools = StartTools::Detect();
  if (tools.wine.empty()) {
    c.err << "wineboot: Wine is not installed here (or KESTREL_WINE=0); the root stays a registry without Wine\n";
    return kCannotRun;
  }
  // The prefix is the root itself, as for every program the launcher
  // starts through Wine; its server is waited for, so the registry files
  // are complete when this ends.
  std::vector<std::string> env = EnvironmentWith({"WINEPREFIX=" + c.root.root()});
  std::string wineserver = tools.wine.substr(0, tools.wine.rfind('/') + 1) + "wineserver";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{tools.wine, "wineboot", "--init"}, std::vector<std::string>{wineserver, "-w"}}) {
    SpawnRequest request;
    request.program = args[0];
    request.args = args;
    request.env = env;
    pid_t pid = 0;
    if (int err = SpawnChild(request, pid); err != 0) {
      c.err << "wineboot: " << args[0] << " could not be started (errno " << err << ")\n";
      return kCannotRun;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      c.err << "wineboot: " << args[1] << " failed (status " << status << ")\n";
      return kFailed;
    }
  }
  c.out << "wineboot: the Wine prefix " << c.root.root() << " is ready\n";
  return 0;
}

int RunSystemTool(const std::string& tool, const std::vector<std::string>& args, ToolContext& context) {
  if (tool == "wineboot") return RunWineboot(context);
  std::string name = SystemToolOf(Utf8ToWide(tool));
  if (name == "regedit") return RunRegedit(args, context);
  if (name == "subst") return RunSubst(args, context);
  if (name == "regsvr32" || name == "wscript") return RunThroughWine(name, args, context);
  context.err << "kestrel-system: unknown tool \"" << tool << "\" (regedit, regsvr32, wscript, subst or wineboot)\n";
  return kFailed;
}

}  // namespace kestrel
