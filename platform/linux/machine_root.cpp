#include "platform/linux/machine_root.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/platform.h"
#include "util/nocase.h"
#include "util/utf.h"

namespace kestrel {

namespace {

std::string DefaultRoot() {
  if (const char* root = std::getenv("KESTREL_ROOT"); root && *root) return root;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/kestrelex";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/share/kestrelex";
  return "/tmp/kestrelex-" + std::to_string(getuid());
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

void EnsureLink(const std::string& link, const char* target) {
  struct stat st;
  if (lstat(link.c_str(), &st) != 0) (void)symlink(target, link.c_str());
}

std::string JoinHost(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The name in `dir` that equals `name` without regard to case, if any.
bool FindNoCase(const std::string& dir, const std::wstring& name, std::string& found) {
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return false;
  while (dirent* e = readdir(d.get())) {
    if (EqualsNoCase(Utf8ToWide(e->d_name), name)) {
      found = e->d_name;
      return true;
    }
  }
  return false;
}

}  // namespace

bool MakeHostDirs(const std::string& path) {
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string NormalizeHostPath(std::string_view path) {
  std::string abs = (!path.empty() && path[0] == '/') ? std::string(path) : CurrentDirectory() + "/" + std::string(path);
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= abs.size()) {
    std::size_t next = abs.find('/', pos);
    if (next == std::string::npos) next = abs.size();
    std::string part = abs.substr(pos, next - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = next + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

MachineRoot::MachineRoot() : root_(NormalizeHostPath(DefaultRoot())), drives_(std::make_shared<DriveCache>()) {}
MachineRoot::MachineRoot(std::string root)
    : root_(NormalizeHostPath(root)), drives_(std::make_shared<DriveCache>()) {}

bool MachineRoot::Ensure() {
  if (ensured_) return true;
  if (!MakeHostDirs(root_ + "/dosdevices") || !MakeHostDirs(root_ + "/drive_c")) return false;
  EnsureLink(root_ + "/dosdevices/c:", "../drive_c");
  EnsureLink(root_ + "/dosdevices/z:", "/");
  ensured_ = true;
  return true;
}

std::string MachineRoot::DriveTarget(wchar_t letter) {
  Ensure();
  wchar_t lower = static_cast<wchar_t>(FoldCase(letter) - L'A' + L'a');
  if (lower < L'a' || lower > L'z') return std::string();
  std::string link = root_ + "/dosdevices/" + static_cast<char>(lower) + ":";
  // The link is read on every call, so a drive that subst adds or removes
  // shows at once; only the canonical form of an unchanged link's target is
  // remembered, which spares a lookup of every component of both paths.
  char text[PATH_MAX];
  ssize_t n = readlink(link.c_str(), text, sizeof text - 1);
  if (n <= 0) return std::string();  // missing, or not a link
  std::string linkText(text, static_cast<std::size_t>(n));
  std::string target;
  {
    std::lock_guard<std::mutex> guard(drives_->lock);
    auto known = drives_->canonical.find(lower);
    if (known != drives_->canonical.end() && known->second.first == linkText) target = known->second.second;
  }
  if (target.empty()) {
    char buf[PATH_MAX];
    if (!realpath(link.c_str(), buf)) return std::string();  // dangling
    target = buf;
    std::lock_guard<std::mutex> guard(drives_->lock);
    drives_->canonical[lower] = {linkText, target};
  }
  struct stat st;
  if (stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::string();
  return target;
}

std::vector<MachineRoot::Drive> MachineRoot::DriveTable() {
  Ensure();
  // One pass over dosdevices: most letters have no link, and asking for
  // each of the 26 would cost a failed lookup of every component of the
  // root's path, on every path the launcher turns back into Windows form.
  std::vector<Drive> drives;
  std::string folder = root_ + "/dosdevices";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return drives;
  while (dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (name[0] < 'a' || name[0] > 'z' || name[1] != ':' || name[2] != '\0') continue;
    std::string target = DriveTarget(static_cast<wchar_t>(name[0]));
    if (!target.empty()) drives.push_back({static_cast<wchar_t>(name[0] - 'a' + 'A'), target});
  }
  std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  return drives;
}

std::vector<wchar_t> MachineRoot::Drives() {
  std::vector<wchar_t> letters;
  for (const Drive& drive : DriveTable()) letters.push_back(drive.letter);
  return letters;
}

bool MachineRoot::ToHost(std::wstring_view path, std::string& host, std::uint32_t& error) {
  std::wstring p(path);
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  if (p.rfind(L"\\\\?\\", 0) == 0) p.erase(0, 4);

  std::string base;
  std::wstring rest;
  if (p.size() >= 2 && p[1] == L':' && FoldCase(p[0]) >= L'A' && FoldCase(p[0]) <= L'Z') {
    base = DriveTarget(p[0]);
    rest = p.substr(2);
  } else if (p.rfind(L"\\\\", 0) == 0) {
    base.clear();  // network paths lead to no drive here
  } else if (!p.empty() && p[0] == L'\\') {
    std::wstring cwd = ToWindows(CurrentDirectory());
    if (!cwd.empty()) base = DriveTarget(cwd[0]);
    rest = p;
  } else {
    base = CurrentDirectory();
    rest = p;
  }
  if (base.empty()) {
    error = win::kPathNotFound;
    return false;
  }

  // The components as written; ".." takes one off and never climbs above
  // the drive.
  std::vector<std::wstring> parts;
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    std::size_t next = rest.find(L'\\', pos);
    if (next == std::wstring::npos) next = rest.size();
    std::wstring part = rest.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  error = 0;

  // Most paths name something that is there in the case on disk, or a new
  // name in a folder that is: one lstat of the path, or of its folder,
  // settles them without matching every component (a tree walk asks for
  // each of its files).
  if (parts.empty()) {
    host = base;
    return true;
  }
  std::string folder = base;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder = JoinHost(folder, WideToUtf8(parts[i]));
  const std::string whole = JoinHost(folder, WideToUtf8(parts.back()));
  struct stat st;
  if (lstat(whole.c_str(), &st) == 0) {
    host = whole;
    return true;
  }
  if (parts.size() == 1 || lstat(folder.c_str(), &st) == 0) {
    std::string found;
    host = FindNoCase(folder, parts.back(), found) ? JoinHost(folder, found) : whole;
    return true;
  }

  // Otherwise components resolve one by one, each matched without regard
  // to case when its exact name is missing.
  bool missing = false;  // below a missing folder nothing can match
  std::string dir = base;
  for (const std::wstring& part : parts) {
    std::string name = WideToUtf8(part);
    if (!missing && lstat(JoinHost(dir, name).c_str(), &st) != 0) {
      std::string found;
      if (FindNoCase(dir, part, found)) name = found;
      else missing = true;
    }
    dir = JoinHost(dir, name);
  }
  host = dir;
  return true;
}

std::wstring MachineRoot::ToWindows(std::string_view hostPath) {
  std::string host = NormalizeHostPath(hostPath);
  wchar_t best = 0;
  std::size_t bestLength = 0;
  for (const Drive& drive : DriveTable()) {
    const wchar_t letter = drive.letter;
    const std::string& target = drive.target;
    bool inside = target == "/" || host == target || host.rfind(target + "/", 0) == 0;
    std::size_t length = target == "/" ? 0 : target.size();
    if (inside && (best == 0 || length > bestLength)) {
      best = letter;
      bestLength = length;
    }
  }
  if (best == 0) return std::wstring();
  std::wstring rest = Utf8ToWide(host.substr(bestLength));
  for (wchar_t& c : rest)
    if (c == L'/') c = L'\\';
  if (rest.empty() || rest[0] != L'\\') rest.insert(rest.begin(), L'\\');
  return std::wstring(1, best) + L":" + rest;
}

}  // namespace kestrel
