#include "platform/linux/machine_root.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/linux/folder_names.h"
#include "platform/platform.h"
#include "text/nocase.h"
#include "text/utf.h"

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

/// JoinHost in place, with the name in wide form.
void AppendHost(std::string& dir, std::wstring_view name) {
  if (dir != "/") dir += '/';
  AppendUtf8(dir, name);
}

}  // namespace

bool MakeHostDirs(const std::string& path) {
  // The folder itself first: it is there, or only it is missing, far more
  // often than any folder above it.
  if (mkdir(path.c_str(), 0755) == 0) return true;
  if (errno == ENOENT) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0 || !MakeHostDirs(path.substr(0, slash))) return false;
    if (mkdir(path.c_str(), 0755) == 0) return true;
  }
  if (errno != EEXIST) return false;
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

MachineRoot::MachineRoot()
    : root_(NormalizeHostPath(DefaultRoot())),
      drives_(std::make_shared<DriveCache>()),
      names_(std::make_shared<FolderNames>()) {}
MachineRoot::MachineRoot(std::string root)
    : root_(NormalizeHostPath(root)), drives_(std::make_shared<DriveCache>()), names_(std::make_shared<FolderNames>()) {}

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

std::string MachineRoot::DriveLink(wchar_t letter) const {
  std::string link;
  AppendDriveLink(link, letter);
  return link;
}

void MachineRoot::AppendDriveLink(std::string& out, wchar_t letter) const {
  out += root_;
  out += "/dosdevices/";
  out += static_cast<char>(FoldCase(letter) - L'A' + L'a');
  out += ':';
}

bool MachineRoot::ToHost(std::wstring_view path, std::string& host, std::uint32_t& error, Found* found,
                         bool expectNew) {
  Found scratch;
  Found& out = found ? *found : scratch;
  out = Found();
  // A zero would end the host path early and name another file (the
  // folder above, or the drive itself): Windows refuses such a name.
  if (path.find(L'\0') != std::wstring_view::npos) {
    error = win::kInvalidName;
    return false;
  }
  // A "/" counts as a "\"; most paths hold none and are read as they are.
  std::wstring slashed;
  std::wstring_view p = path;
  if (p.find(L'/') != std::wstring_view::npos) {
    slashed.assign(p);
    std::replace(slashed.begin(), slashed.end(), L'/', L'\\');
    p = slashed;
  }
  if (p.substr(0, 4) == L"\\\\?\\") p.remove_prefix(4);

  wchar_t letter = 0;  // the drive the path is on, 0 when relative
  std::wstring_view rest;
  std::string base;  // the current folder, or (made only where needed) the drive's link
  if (p.size() >= 2 && p[1] == L':' && FoldCase(p[0]) >= L'A' && FoldCase(p[0]) <= L'Z') {
    letter = FoldCase(p[0]);
    rest = p.substr(2);
  } else if (p.substr(0, 2) == L"\\\\") {
    error = win::kPathNotFound;  // network paths lead to no drive here
    return false;
  } else if (!p.empty() && p[0] == L'\\') {
    std::wstring cwd = ToWindows(CurrentDirectory());
    if (cwd.empty()) {
      error = win::kPathNotFound;
      return false;
    }
    letter = cwd[0];
    rest = p;
  } else {
    base = CurrentDirectory();
    rest = p;
  }
  if (letter) Ensure();
  // Whether the drive is there is asked only when the path itself is not
  // found: a path found through the link proves the drive.
  auto noDrive = [&] {
    if (!letter || !DriveTarget(letter).empty()) return false;
    error = win::kPathNotFound;
    return true;
  };

  // The components as written; ".." takes one off and never climbs above
  // the drive.  Split only where needed (see plainForm).
  std::vector<std::wstring_view> parts;
  auto split = [&] {
    parts.clear();
    parts.reserve(static_cast<std::size_t>(std::count(rest.begin(), rest.end(), L'\\')) + 1);
    std::size_t pos = 0;
    while (pos <= rest.size()) {
      std::size_t next = rest.find(L'\\', pos);
      if (next == std::wstring_view::npos) next = rest.size();
      std::wstring_view part = rest.substr(pos, next - pos);
      pos = next + 1;
      if (part.empty() || (part.size() == 1 && part[0] == L'.')) continue;
      if (part.size() == 2 && part[0] == L'.' && part[1] == L'.') {
        if (!parts.empty()) parts.pop_back();
        continue;
      }
      parts.push_back(part);
    }
  };
  error = 0;
  struct stat& st = out.st;

  // Room for the whole host path, so that it is built without growing.
  std::string folder;
  folder.reserve(root_.size() + base.size() + 16 + rest.size() * 3);
  if (letter)
    AppendDriveLink(folder, letter);
  else
    folder = base;
  std::wstring_view last;  // the last component
  bool nested;             // the path has a folder below the drive's root
  // A drive path in plain form ("\a\b\c": no empty, "." or ".." component)
  // maps to its host form by converting it whole, as most paths are.
  const bool plainForm = letter && !rest.empty() && rest[0] == L'\\' && rest.back() != L'\\' && [&] {
    for (std::size_t i = 0; i + 1 < rest.size(); ++i) {
      if (rest[i] != L'\\') continue;
      const wchar_t* c = rest.data() + i + 1;
      const std::size_t left = rest.size() - i - 1;
      if (c[0] == L'\\') return false;
      if (c[0] == L'.' && (left == 1 || c[1] == L'\\' || (c[1] == L'.' && (left == 2 || c[2] == L'\\')))) return false;
    }
    return true;
  }();
  if (plainForm) {
    const std::size_t cut = rest.rfind(L'\\');
    last = rest.substr(cut + 1);
    nested = cut > 0;
    const std::size_t at = folder.size();
    AppendUtf8(folder, rest.substr(0, cut));
    std::replace(folder.begin() + static_cast<std::ptrdiff_t>(at), folder.end(), '\\', '/');
  } else {
    if (letter) base = DriveLink(letter);
    split();
    if (parts.empty()) {
      // A drive's root is the folder its link leads to.
      if (stat(base.c_str(), &st) == 0) {
        out.exists = S_ISDIR(st.st_mode);
        out.driveRoot = out.exists && (letter || ToWindows(base).size() == 3);
      }
      if (letter && !out.exists) {
        error = win::kPathNotFound;
        return false;
      }
      host = base;
      return true;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) AppendHost(folder, parts[i]);
    last = parts.back();
    nested = parts.size() >= 2;
  }

  // Most paths name something that is there in the case on disk, or a new
  // name in a folder that is: one lstat of the path, or of its folder,
  // settles them without matching every component (a tree walk asks for
  // each of its files).
  std::string whole;
  whole.reserve(folder.size() + 1 + last.size() * 3);
  whole = folder;
  AppendHost(whole, last);
  std::string match;
  auto inFolder = [&] {
    if (!nested || !names_->Find(folder, last, match, &out.folder)) return false;
    host = match.empty() ? std::move(whole) : JoinHost(folder, match);
    out.missingInExistingFolder = match.empty();
    if (!out.missingInExistingFolder) out.folder.reset();
    return true;
  };
  // A folder whose names are known for certain answers first for a name
  // it lacks: that needs no failed look at the disk.
  const std::string_view lastHost = std::string_view(whole).substr(whole.rfind('/') + 1);
  if ((expectNew || (nested && names_->LikelyMissing(folder, lastHost))) && inFolder()) return true;
  if (lstat(whole.c_str(), &st) == 0) {
    host = std::move(whole);
    out.exists = true;
    return true;
  }
  if (!expectNew && inFolder()) return true;
  if (noDrive()) return false;

  // Otherwise components resolve one by one, each matched without regard
  // to case when its exact name is missing.
  bool missing = false;  // below a missing folder nothing can match
  if (parts.empty()) split();
  if (base.empty()) base = DriveLink(letter);
  std::string dir = base;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::string name = WideToUtf8(parts[i]);
    if (!missing && lstat(JoinHost(dir, name).c_str(), &st) != 0) {
      bool readable = names_->Find(dir, parts[i], match);
      if (!match.empty()) name = match;
      else missing = true;
      out.missingInExistingFolder = last && readable && match.empty();
    } else {
      out.exists = last && !missing;
    }
    dir = JoinHost(dir, name);
  }
  host = dir;
  return true;
}

void MachineRoot::Made(std::string_view host, bool folder) {
  const std::size_t cut = host.rfind('/');
  if (cut == std::string_view::npos || cut == 0 || cut + 1 == host.size()) return;
  names_->Made(host.substr(0, cut), host.substr(cut + 1), folder);
}

namespace {

/// The letter of the drive link a host path begins with ("C"), and where
/// the rest of the path starts; 0 when it begins with none.
wchar_t LinkedDrive(const std::string& host, const std::string& root, std::size_t& end) {
  const std::string links = root + "/dosdevices/";
  end = links.size() + 2;
  if (host.size() < end || host.compare(0, links.size(), links) != 0) return 0;
  char lower = host[links.size()];
  if (lower < 'a' || lower > 'z' || host[links.size() + 1] != ':' || (host.size() > end && host[end] != '/')) return 0;
  return static_cast<wchar_t>(lower - 'a' + 'A');
}

}  // namespace

std::string MachineRoot::PlainHost(const std::string& host) {
  std::size_t end;
  wchar_t letter = LinkedDrive(host, root_, end);
  if (!letter) return host;
  std::string target = DriveTarget(letter);
  if (target.empty()) return host;
  if (host.size() == end) return target;
  return (target == "/" ? std::string() : target) + host.substr(end);
}

std::wstring MachineRoot::ToWindows(std::string_view hostPath) {
  std::string host = NormalizeHostPath(hostPath);
  // Through a drive's link: on that drive.
  std::size_t end;
  if (wchar_t letter = LinkedDrive(host, root_, end)) {
    if (DriveTarget(letter).empty()) return std::wstring();
    std::wstring rest = Utf8ToWide(host.substr(end));
    for (wchar_t& c : rest)
      if (c == L'/') c = L'\\';
    return std::wstring(1, letter) + L":" + (rest.empty() ? L"\\" : rest);
  }
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
