// subst: drive letters mapped onto folders.  A substitution is a drive link
// in dosdevices plus a record in $KESTREL_ROOT/subst naming the same
// target, so the machine's fixed drives (c:, z: and any the operator made
// by hand) are never listed or removed as substitutions.

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "text/nocase.h"
#include "text/utf.h"
#include "tools/kestrel_system/system_tool.h"

namespace kestrel {

namespace {

constexpr int kFailed = 1;

bool ParseDrive(const std::string& arg, char& letter) {
  if (arg.size() != 2 || arg[1] != ':') return false;
  char c = static_cast<char>(arg[0] | 0x20);
  if (c < 'a' || c > 'z') return false;
  letter = c;
  return true;
}

std::string LinkOf(MachineRoot& root, char letter) { return root.root() + "/dosdevices/" + letter + ":"; }
std::string RecordOf(MachineRoot& root, char letter) { return root.root() + "/subst/" + letter + ":"; }

std::string ReadLink(const std::string& path) {
  char buf[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

/// The record of a substitution: its host target and the Windows path it
/// was given; false when the letter is not a substitution (any more).
bool ReadRecord(MachineRoot& root, char letter, std::string& target, std::string& windowsPath) {
  std::ifstream in(RecordOf(root, letter));
  if (!in || !std::getline(in, target) || !std::getline(in, windowsPath)) return false;
  return !target.empty() && ReadLink(LinkOf(root, letter)) == target;
}

std::string Upper(char letter) { return std::string(1, static_cast<char>(letter - 'a' + 'A')) + ":"; }

int List(ToolContext& c) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string target, windowsPath;
    if (ReadRecord(c.root, letter, target, windowsPath)) c.out << Upper(letter) << "\\: => " << windowsPath << "\n";
  }
  return 0;
}

int Remove(ToolContext& c, char letter) {
  std::string target, windowsPath;
  if (!ReadRecord(c.root, letter, target, windowsPath)) {
    c.err << "Invalid parameter - " << Upper(letter) << "\n";
    return kFailed;
  }
  if (unlink(LinkOf(c.root, letter).c_str()) != 0) {
    c.err << "Access denied - " << Upper(letter) << "\n";
    return kFailed;
  }
  unlink(RecordOf(c.root, letter).c_str());
  return 0;
}

int Add(ToolContext& c, char letter, const std::string& path) {
  std::string target, windowsPath;
  if (ReadRecord(c.root, letter, target, windowsPath)) {
    c.err << "Drive already SUBSTed\n";
    return kFailed;
  }
  std::string host;
  std::uint32_t error;
  struct stat st;
  char real[PATH_MAX];
  if (!c.root.ToHost(Utf8ToWide(path), host, error) || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      !realpath(host.c_str(), real)) {
    c.err << "Path not found - " << path << "\n";
    return kFailed;
  }
  // The Windows form of the folder as the user named it, made absolute.
  std::wstring shown = Utf8ToWide(path);
  for (wchar_t& ch : shown)
    if (ch == L'/') ch = L'\\';
  bool absolute = shown.size() >= 2 && shown[1] == L':';
  if (!absolute) shown = c.root.ToWindows(real);
  while (shown.size() > 3 && shown.back() == L'\\') shown.pop_back();

  std::string link = LinkOf(c.root, letter);
  // symlink() fails when the name exists: a drive already there is never
  // replaced, even when two substitutions race for the same letter.
  if (symlink(real, link.c_str()) != 0) {
    if (errno == EEXIST) c.err << "Invalid parameter - " << Upper(letter) << "\n";
    else c.err << "Access denied - " << Upper(letter) << "\n";
    return kFailed;
  }
  MakeHostDirs(c.root.root() + "/subst");
  std::ofstream record(RecordOf(c.root, letter), std::ios::trunc);
  record << real << "\n" << WideToUtf8(shown) << "\n";
  if (!record.flush()) {
    unlink(link.c_str());
    c.err << "Access denied - " << Upper(letter) << "\n";
    return kFailed;
  }
  return 0;
}

}  // namespace

int RunSubst(const std::vector<std::string>& args, ToolContext& c) {
  if (!c.root.Ensure()) {
    c.err << "subst: the machine root " << c.root.root() << " cannot be made\n";
    return kFailed;
  }
  if (args.empty()) return List(c);
  if (args.size() > 2) {
    c.err << "Incorrect number of parameters - " << args[2] << "\n";
    return kFailed;
  }
  char letter = 0;
  if (!ParseDrive(args[0], letter)) {
    c.err << "Invalid parameter - " << args[0] << "\n";
    return kFailed;
  }
  if (args.size() == 1) {
    c.err << "Incorrect number of parameters - " << args[0] << "\n";
    return kFailed;
  }
  if (EqualsNoCase(Utf8ToWide(args[1]), L"/D")) return Remove(c, letter);
  return Add(c, letter, args[1]);
}

}  // namespace kestrel
