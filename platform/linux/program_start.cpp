#include "platform/linux/program_start.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/model/command_line_args.h"
#include "platform/platform.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

/// The last component of a Windows or host path.
std::wstring FileNameOf(std::wstring_view name) {
  std::size_t cut = name.find_last_of(L"\\/");
  return std::wstring(cut == std::wstring_view::npos ? name : name.substr(cut + 1));
}

std::wstring ExtensionOf(std::wstring_view name) {
  std::wstring file = FileNameOf(name);
  std::size_t dot = file.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : file.substr(dot + 1);
}

/// A URL: a scheme of two or more characters and a colon ("C:" is a drive).
bool IsUrl(std::wstring_view text) {
  std::size_t colon = text.find(L':');
  if (colon == std::wstring_view::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    wchar_t c = text[i];
    bool alpha = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    bool other = (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
    if (!(alpha || (i > 0 && other))) return false;
  }
  return true;
}

enum class Kind { kMissing, kFolder, kPe, kElf, kScript, kOther };

Kind KindOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Kind::kMissing;
  if (S_ISDIR(st.st_mode)) return Kind::kFolder;
  char head[4] = {};
  FILE* f = std::fopen(path.c_str(), "rbe");
  std::size_t got = 0;
  if (f) {
    got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  if (got >= 2 && head[0] == 'M' && head[1] == 'Z') return Kind::kPe;
  if (got >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) return Kind::kElf;
  if (got >= 2 && head[0] == '#' && head[1] == '!') return Kind::kScript;
  return Kind::kOther;
}

std::vector<std::string> Utf8Args(const std::wstring& parameters) {
  std::vector<std::string> out;
  for (const std::wstring& a : SplitCommandLineArgs(parameters)) out.push_back(WideToUtf8(a));
  return out;
}

}  // namespace

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return std::string();
  std::string list = path;
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t next = list.find(':', pos);
    if (next == std::string::npos) next = list.size();
    std::string dir = list.substr(pos, next - pos);
    pos = next + 1;
    if (dir.empty() || dir[0] != '/') continue;  // relative PATH entries would depend on the working folder
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::string();
}

StartTools StartTools::Detect() {
  StartTools tools;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<std::size_t>(n));
    // One assignment, not a second one of "/": GCC 12's -Wrestrict misreads
    // assigning a literal over a string at -O3.
    std::size_t slash = exe.rfind('/');
    tools.launcherDir = slash == 0 ? std::string(1, '/') : exe.substr(0, slash);
  }
  if (const char* tool = std::getenv("KESTREL_SYSTEM_TOOL"); tool && *tool) {
    tools.systemTool = tool;
  } else if (!tools.launcherDir.empty() && IsExecutableFile(tools.launcherDir + "/kestrel-system")) {
    tools.systemTool = tools.launcherDir + "/kestrel-system";
  }
  const char* wine = std::getenv("KESTREL_WINE");
  if (wine && std::strcmp(wine, "0") == 0) {
    tools.wine.clear();
  } else if (wine && std::strchr(wine, '/')) {
    if (IsExecutableFile(wine)) tools.wine = wine;
  } else {
    tools.wine = FindOnPath("wine");
  }
  tools.xdgOpen = FindOnPath("xdg-open");
  return tools;
}

std::string SystemToolOf(std::wstring_view name) {
  std::wstring file = FileNameOf(name);
  if (file.size() > 4 && EqualsNoCase(std::wstring_view(file).substr(file.size() - 4), L".exe"))
    file.resize(file.size() - 4);
  for (const char* tool : {"regedit", "regsvr32", "wscript", "subst"})
    if (EqualsNoCase(file, Utf8ToWide(tool))) return tool;
  return std::string();
}

std::vector<std::string> ProgramStarter::ChildEnvironment(bool wine) {
  // Every program started shares this machine: a launcher it starts, or
  // the system tool, finds the same root; Wine sees the same drives.
  std::vector<std::string> overrides{"KESTREL_ROOT=" + root_.root()};
  if (wine) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix || !*prefix) overrides.push_back("WINEPREFIX=" + root_.root());
  }
  return EnvironmentWith(overrides);
}

StartPlan ProgramStarter::Tool(const std::string& tool, const std::vector<std::string>& args) {
  StartPlan plan;
  if (tools_.systemTool.empty()) {
    plan.error = win::kFileNotFound;
    return plan;
  }
  plan.request.program = tools_.systemTool;
  plan.request.args = {tools_.systemTool, tool};
  plan.request.args.insert(plan.request.args.end(), args.begin(), args.end());
  plan.request.env = ChildEnvironment(false);
  return plan;
}

StartPlan ProgramStarter::Wine(const std::vector<std::string>& args) {
  StartPlan plan;
  plan.request.program = tools_.wine;
  plan.request.args = {tools_.wine};
  plan.request.args.insert(plan.request.args.end(), args.begin(), args.end());
  plan.request.env = ChildEnvironment(true);
  plan.throughWine = true;
  return plan;
}

std::vector<std::string> ProgramStarter::SearchDirs(Via via, const std::wstring& directory) {
  std::vector<std::string> dirs;
  std::string host;
  std::uint32_t error;
  if (via == Via::kShell && !directory.empty() && root_.ToHost(directory, host, error)) dirs.push_back(host);
  if (!tools_.launcherDir.empty()) dirs.push_back(tools_.launcherDir);
  std::string cwd = CurrentDirectory();
  if (!cwd.empty()) dirs.push_back(cwd);
  for (const wchar_t* system : {L"C:\\windows\\system32", L"C:\\windows\\system", L"C:\\windows"})
    if (root_.ToHost(system, host, error)) dirs.push_back(host);
  if (const char* path = std::getenv("PATH")) {
    std::string list = path;
    std::size_t pos = 0;
    while (pos <= list.size()) {
      std::size_t next = list.find(':', pos);
      if (next == std::string::npos) next = list.size();
      std::string dir = list.substr(pos, next - pos);
      if (!dir.empty() && dir[0] == '/') dirs.push_back(dir);
      pos = next + 1;
    }
  }
  return dirs;
}

bool ProgramStarter::Locate(Via via, const std::wstring& name, const std::wstring& directory, std::string& host,
                            std::uint32_t& error) {
  // ".exe" is tried first when the name has none, as Windows does; the
  // name as written second, for native programs without an extension.
  std::vector<std::wstring> variants;
  if (ExtensionOf(name).empty() && !name.empty() && name.back() != L'\\' && name.back() != L'/')
    variants.push_back(name + L".exe");
  variants.push_back(name);

  struct stat st;
  bool bare = name.find_first_of(L"\\/:") == std::wstring::npos;
  if (bare) {
    for (const std::string& dir : SearchDirs(via, directory))
      for (const std::wstring& v : variants) {
        std::string candidate = (dir == "/" ? "" : dir) + "/" + WideToUtf8(v);
        if (stat(candidate.c_str(), &st) == 0) {
          host = root_.PlainHost(candidate);
          return true;
        }
      }
    error = win::kFileNotFound;
    return false;
  }

  bool relative = name.find(L':') == std::wstring::npos && name[0] != L'\\' && name[0] != L'/';
  error = win::kFileNotFound;
  for (const std::wstring& v : variants) {
    std::wstring full = (relative && via == Via::kShell && !directory.empty()) ? directory + L"\\" + v : v;
    std::string candidate;
    std::uint32_t e;
    if (!root_.ToHost(full, candidate, e)) {
      error = e;
      return false;
    }
    if (stat(candidate.c_str(), &st) == 0) {
      host = root_.PlainHost(candidate);
      error = 0;
      return true;
    }
    // A folder on the way that is missing (or is a file) is a missing path.
    std::string parent = candidate.substr(0, candidate.rfind('/'));
    struct stat pst;
    if (via == Via::kProcess && !parent.empty() && (stat(parent.c_str(), &pst) != 0 || !S_ISDIR(pst.st_mode)))
      error = win::kPathNotFound;
  }
  return false;
}

StartPlan ProgramStarter::Plan(Via via, const std::wstring& name, const std::wstring& parameters,
                               const std::wstring& directory) {
  StartPlan plan;
  std::vector<std::string> args = Utf8Args(parameters);

  // The system programs: a bare name is the system's own copy, which our
  // tool stands in for; a path must name a file that is there.
  std::string tool = SystemToolOf(name);
  bool bare = name.find_first_of(L"\\/:") == std::wstring::npos;
  std::string host;
  if (!tool.empty() && bare) return Tool(tool, args);

  if (via == Via::kShell && IsUrl(name)) {
    if (tools_.xdgOpen.empty()) {
      plan.error = win::kNoAssociation;
      return plan;
    }
    plan.request = {tools_.xdgOpen, {tools_.xdgOpen, WideToUtf8(name)}, std::string(), ChildEnvironment(false)};
    return plan;
  }

  if (!Locate(via, name, directory, host, plan.error)) return plan;
  if (!tool.empty()) return Tool(tool, args);

  std::wstring extension = ExtensionOf(Utf8ToWide(host));
  auto withArgs = [&](std::vector<std::string> head) {
    head.insert(head.end(), args.begin(), args.end());
    return head;
  };
  std::string windowsPath = WideToUtf8(root_.ToWindows(host));
  Kind kind = KindOf(host);
  switch (kind) {
    case Kind::kMissing:
      plan.error = win::kFileNotFound;
      return plan;
    case Kind::kPe:
      if (tools_.wine.empty()) {
        plan.error = win::kBadExeFormat;
        return plan;
      }
      return Wine(withArgs({host}));
    case Kind::kFolder:
      if (via == Via::kProcess) {
        plan.error = win::kAccessDenied;
        return plan;
      }
      break;
    case Kind::kElf:
    case Kind::kScript:
    case Kind::kOther:
      if (access(host.c_str(), X_OK) == 0) {
        plan.request = {host, withArgs({host}), std::string(), ChildEnvironment(false)};
        return plan;
      }
      if (kind != Kind::kOther) {
        plan.error = win::kAccessDenied;  // a program that lacks its execute bit
        return plan;
      }
      break;
  }

  // What is left is a Windows script or package, a folder or a document.
  bool batch = EqualsNoCase(extension, L"bat") || EqualsNoCase(extension, L"cmd");
  if (batch && !tools_.wine.empty()) return Wine(withArgs({"cmd", "/c", windowsPath}));
  if (via == Via::kProcess) {
    plan.error = win::kBadExeFormat;
    return plan;
  }
  if (!tools_.wine.empty()) {
    if (EqualsNoCase(extension, L"msi")) return Wine(withArgs({"msiexec", "/i", windowsPath}));
    if (EqualsNoCase(extension, L"vbs") || EqualsNoCase(extension, L"js") || EqualsNoCase(extension, L"wsf"))
      return Wine(withArgs({"wscript", windowsPath}));
  }
  if (EqualsNoCase(extension, L"exe") || EqualsNoCase(extension, L"com")) {
    plan.error = win::kBadExeFormat;  // named a program but is none
    return plan;
  }
  bool windowsOnly = batch || EqualsNoCase(extension, L"msi") || EqualsNoCase(extension, L"vbs");
  if (windowsOnly || tools_.xdgOpen.empty()) {
    plan.error = win::kNoAssociation;
    return plan;
  }
  plan.request = {tools_.xdgOpen, {tools_.xdgOpen, host}, std::string(), ChildEnvironment(false)};
  return plan;
}

StartPlan ProgramStarter::ShellExecute(const std::wstring& file, const std::wstring& parameters,
                                       const std::wstring& directory) {
  if (file.empty()) {
    StartPlan plan;
    plan.error = win::kFileNotFound;
    return plan;
  }
  return Plan(Via::kShell, file, parameters, directory);
}

StartPlan ProgramStarter::CreateProcess(const std::wstring& commandLine, const std::wstring& directory) {
  StartPlan first;
  first.error = win::kFileNotFound;
  bool haveFirst = false;
  for (const ProgramCandidate& c : ProgramCandidates(commandLine)) {
    StartPlan plan = Plan(Via::kProcess, c.program, c.parameters, directory);
    // A candidate that is not there lets the next, longer one be tried;
    // any other outcome is final.
    if (plan.error != win::kFileNotFound && plan.error != win::kPathNotFound) return plan;
    if (!haveFirst) {
      first = plan;
      haveFirst = true;
    }
  }
  return first;
}

}  // namespace kestrel
