#include "platform/linux/registry_store.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platform/linux/atomic_file.h"
#include "platform/linux/detached_spawn.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/program_start.h"
#include "platform/linux/wine_server_guard.h"
#include "platform/model/registry_api.h"
#include "platform/model/wow64_view.h"
#include "text/nocase.h"
#include "text/utf.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

bool ReadWhole(const std::string& path, std::string& bytes, int& err) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return false;
  }
  bytes.clear();
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : 0;
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return err == 0;
}

std::uint64_t Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTimeOf(ts.tv_sec, ts.tv_nsec);
}

/// The keys and values of `tree` that differ from what the file held when
/// they were loaded, as registry-file text (version 5) under `rootName`.
void AppendChanges(std::wstring& out, const RegistryTree& tree, const WineRegistryFile& file,
                   const std::wstring& rootName) {
  RegistryTree changed;
  for (const auto& [indexKey, original] : file.original) {
    const RegistryKey* key = tree.FindKey(original.path);
    if (!key) {
      if (!original.path.empty()) out += L"\r\n[-" + rootName + L"\\" + original.path + L"]\r\n";
      continue;
    }
    if (original.values == key->values()) continue;
    for (const auto& [name, value] : original.values)
      if (!key->FindValue(name))
        out += L"\r\n[" + rootName + (original.path.empty() ? L"" : L"\\" + original.path) + L"]\r\n" +
               (name.empty() ? std::wstring(L"@") : L"\"" + RegFileEscape(name) + L"\"") + L"=-\r\n";
  }
  std::function<void(const RegistryKey&, const std::wstring&)> walk = [&](const RegistryKey& key,
                                                                          const std::wstring& path) {
    auto original = file.original.find(WineIndexKey(path));
    bool known = original != file.original.end();
    if (!known || original->second.values != key.values()) {
      if (!path.empty() && !known && !file.index.count(WineIndexKey(path)) && key.subkeys().empty())
        changed.CreateKey(path);
      for (const auto& [name, value] : key.values()) {
        const RegistryValue* before = nullptr;
        if (known)
          for (const auto& [n, v] : original->second.values)
            if (EqualsNoCase(n, name)) before = &v;
        if (!before || !(*before == value)) changed.SetValue(path, name, value);
      }
    }
    for (const auto& entry : key.subkeys())
      walk(*entry.second, path.empty() ? entry.second->name() : path + L"\\" + entry.second->name());
  };
  walk(tree.root(), L"");
  std::string exported = ExportRegFile(changed, rootName);
  std::wstring text = Utf16LeToWide(exported.substr(2));
  std::size_t body = text.find(L"\r\n");
  if (body != std::wstring::npos) out += text.substr(body + 2);
}

/// Registry values of earlier versions came from a registry-editor export
/// of each hive in the root.
constexpr const char* kOldFiles[] = {"/HKLM.reg", "/HKCU.reg"};

/// The key a hive's file is relative to, as Wine writes it.
std::string_view RelativeTo(RegRoot root) {
  return root == RegRoot::kLocalMachine ? "REGISTRY\\\\Machine" : "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000";
}

}  // namespace

RegistryStore::RegistryStore(std::string directory, Diagnostics diagnostics, AnsiToWide ansi)
    : directory_(std::move(directory)), diagnostics_(std::move(diagnostics)), ansi_(std::move(ansi)) {}

std::string RegistryStore::HivePath(RegRoot root) const {
  return directory_ + (root == RegRoot::kLocalMachine ? "/system.reg" : "/user.reg");
}

bool RegistryStore::Wow64(RegRoot root) const {
  const Hive& hive = root == RegRoot::kLocalMachine ? localMachine_ : currentUser_;
  return root == RegRoot::kLocalMachine && hive.file.arch == "win64";
}

std::wstring RegistryStore::TreePath(RegRoot root, std::wstring_view path) {
  if (!Wow64(root)) return std::wstring(path);
  Hive& hive = HiveOf(root);
  return Wow64MachinePath(
      path, [&](std::wstring_view p) { return LoadWineKey(hive.file, hive.tree, p, false) != nullptr; });
}

RegistryKey* RegistryStore::Key(RegRoot root, std::wstring_view path, bool create, bool branch) {
  Hive& hive = HiveOf(root);
  std::wstring treePath = TreePath(root, path);
  RegistryKey* key = LoadWineKey(hive.file, hive.tree, treePath, branch);
  if (!key && create) key = hive.tree.CreateKey(treePath);
  return key;
}

void RegistryStore::Refresh(RegRoot root) {
  Hive& hive = HiveOf(root);
  std::string path = HivePath(root);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (hive.loaded && hive.size == -1) return;
    hive = Hive{};
    hive.loaded = true;
    // A new file as Wine starts it: a 64-bit prefix unless WINEARCH says
    // otherwise (Wine reads a file without "#arch" as a 32-bit prefix).
    const char* arch = std::getenv("WINEARCH");
    hive.file = NewWineRegistry(RelativeTo(root), arch && std::string(arch) == "win32" ? "win32" : "win64");
    return;
  }
  if (hive.loaded && hive.device == st.st_dev && hive.inode == st.st_ino && hive.size == st.st_size &&
      hive.modified.tv_sec == st.st_mtim.tv_sec && hive.modified.tv_nsec == st.st_mtim.tv_nsec)
    return;
  hive = Hive{};
  hive.loaded = true;
  hive.device = st.st_dev;
  hive.inode = st.st_ino;
  hive.size = st.st_size;
  hive.modified = st.st_mtim;
  std::string bytes;
  int err = 0;
  if (!ReadWhole(path, bytes, err) || !ReadWineRegistry(std::move(bytes), hive.file)) {
    hive.clean = false;
    hive.file = NewWineRegistry(RelativeTo(root), "win64");
  }
}

std::uint32_t RegistryStore::Save(RegRoot root) {
  Hive& hive = HiveOf(root);
  std::string path = HivePath(root);
  if (!hive.clean) {
    // Never overwrite what could not be read without keeping it.
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    std::string copy = path + ".unreadable-" + stamp + "-" + std::to_string(getpid());
    std::string bytes;
    int err = 0;
    if (!ReadWhole(path, bytes, err) && err != ENOENT) return WindowsErrorFromErrno(err);
    if (err != ENOENT) {
      if (int werr = ReplaceFileAtomically(copy, bytes, 0644)) return WindowsErrorFromErrno(werr);
      diagnostics_(FormatWide(L"MSG: Registry file %s could not be read whole, kept a copy as %s",
                              {Utf8ToWide(path), Utf8ToWide(copy)}));
    }
  }
  std::string bytes = WriteWineRegistry(hive.tree, hive.file, Now());
  if (int err = ReplaceFileAtomically(path, bytes, 0644)) {
    hive.loaded = false;  // the tree no longer matches the file: read it again next time
    return WindowsErrorFromErrno(err);
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    hive.device = st.st_dev;
    hive.inode = st.st_ino;
    hive.size = st.st_size;
    hive.modified = st.st_mtim;
    hive.clean = true;
  } else {
    hive.loaded = false;
  }
  return 0;
}

std::wstring RegistryStore::ChangesText(bool machine, bool user) const {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  // The files' own paths: Wine's 64-bit regedit does not redirect them.
  if (machine) AppendChanges(text, localMachine_.tree, localMachine_.file, RegRootName(RegRoot::kLocalMachine));
  if (user) AppendChanges(text, currentUser_.tree, currentUser_.file, RegRootName(RegRoot::kCurrentUser));
  return text;
}

std::uint32_t RegistryStore::SendThroughWine(const std::wstring& text, bool machine, bool user) {
  auto fail = [&](const std::wstring& why) {
    diagnostics_(FormatWide(L"MSG: Registry changes could not be passed to the Wine server running in %s: %s",
                            {Utf8ToWide(directory_), why}));
    if (machine) localMachine_.loaded = false;
    if (user) currentUser_.loaded = false;
    return static_cast<std::uint32_t>(win::kAccessDenied);
  };
  StartTools tools = StartTools::Detect();
  if (tools.wine.empty()) return fail(L"Wine is not available (KESTREL_WINE)");
  std::string file = directory_ + "/registry-import-" + std::to_string(getpid()) + ".reg";
  if (int err = ReplaceFileAtomically(file, "\xFF\xFE" + WideToUtf16Le(text + L"\r\n"), 0600))
    return fail(FormatWide(L"cannot write %s (errno %d)", {Utf8ToWide(file), std::to_wstring(err)}));
  SpawnRequest request;
  request.program = tools.wine;
  // Drive Z: is the host's "/" in every prefix.
  std::string winePath = "Z:" + file;
  for (char& c : winePath)
    if (c == '/') c = '\\';
  request.args = {tools.wine, "regedit", "/s", winePath};
  request.env = EnvironmentWith({"WINEPREFIX=" + directory_, "WINEDEBUG=-all"});
  pid_t pid = 0;
  if (int err = SpawnChild(request, pid)) {
    unlink(file.c_str());
    return fail(FormatWide(L"Wine could not be started (errno %d)", {std::to_wstring(err)}));
  }
  int status = 0;
  bool done = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWineImportSeconds);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) done = true;
    else if (r < 0 && errno != EINTR) break;
    else std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!done) {
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    unlink(file.c_str());
    return fail(FormatWide(L"Wine's regedit did not finish within %d seconds", {std::to_wstring(kWineImportSeconds)}));
  }
  unlink(file.c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return fail(FormatWide(L"Wine's regedit failed (status %d)", {std::to_wstring(status)}));
  return 0;
}

std::uint32_t RegistryStore::Store(bool machine, bool user) {
  if (!machine && !user) return 0;
  WineServerGuard guard(directory_);
  if (guard.state() == WineServerGuard::State::kServerRunning)
    return SendThroughWine(ChangesText(machine, user), machine, user);
  // Without Debian's tag a server could start in a folder the hold does
  // not cover; what it would have missed is kept until the files are in.
  std::wstring changes = guard.Tagged() ? std::wstring() : ChangesText(machine, user);
  std::uint32_t error = 0;
  if (machine) error = Save(RegRoot::kLocalMachine);
  if (user) {
    std::uint32_t userError = Save(RegRoot::kCurrentUser);
    if (!error) error = userError;
  }
  if (!error && guard.ServerMayHaveStarted()) {
    diagnostics_(FormatWide(L"MSG: A Wine server started in %s while its registry was written; the changes "
                            L"are passed to it as well",
                            {Utf8ToWide(directory_)}));
    error = SendThroughWine(changes, false, false);
  }
  return error;
}

RegFileImport RegistryStore::ImportUnlocked(std::string_view bytes, bool& machine, bool& user) {
  // Each hive is read when the file first names it, and once only: what
  // the import changed must not be read over.
  RegHiveResolver standard = StandardHives(localMachine_.tree, currentUser_.tree);
  return ImportRegFile(
      bytes,
      [&](std::wstring_view rootName, std::wstring& path) {
        RegistryTree* tree = standard(rootName, path);
        if (!tree) return tree;
        RegRoot root = tree == &localMachine_.tree ? RegRoot::kLocalMachine : RegRoot::kCurrentUser;
        bool& named = root == RegRoot::kLocalMachine ? machine : user;
        if (!named) Refresh(root);
        named = true;
        // Everything below the key is loaded: the file may remove it.
        path = TreePath(root, path);
        LoadWineKey(HiveOf(root).file, *tree, path, true);
        return tree;
      },
      ansi_);
}

void RegistryStore::Migrate() {
  if (migrated_) return;
  migrated_ = true;
  for (const char* name : kOldFiles) {
    std::string old = directory_ + name;
    struct stat st;
    if (lstat(old.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    std::string bytes;
    int err = 0;
    if (!ReadWhole(old, bytes, err)) continue;
    bool machine = false, user = false;
    RegFileImport result = ImportUnlocked(bytes, machine, user);
    if (std::uint32_t error = Store(machine, user)) {
      diagnostics_(FormatWide(L"MSG: Registry file %s could not be merged into Wine's registry (error %d)",
                              {Utf8ToWide(old), std::to_wstring(error)}));
      continue;
    }
    std::string kept = old + ".migrated";
    if (rename(old.c_str(), kept.c_str()) != 0) continue;
    diagnostics_(FormatWide(L"MSG: Registry file %s merged into Wine's registry (%d entries, %d lines skipped), kept as %s",
                            {Utf8ToWide(old), std::to_wstring(result.applied), std::to_wstring(result.problems.size()),
                             Utf8ToWide(kept)}));
  }
}

void RegistryStore::Read(RegRoot root, const std::function<void(const KeyLookup&)>& read) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!migrated_) {
    ExclusiveLock lock(directory_ + "/registry.lock");
    Migrate();
  }
  Refresh(root);
  read([&](std::wstring_view path) -> const RegistryKey* { return Key(root, path, false, false); });
}

void RegistryStore::ReadBranch(RegRoot root, std::wstring_view path,
                               const std::function<void(const RegistryKey*)>& read) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!migrated_) {
    ExclusiveLock lock(directory_ + "/registry.lock");
    Migrate();
  }
  Refresh(root);
  read(path.empty() ? LoadWineKey(HiveOf(root).file, HiveOf(root).tree, L"", true) : Key(root, path, false, true));
}

std::uint32_t RegistryStore::Write(RegRoot root, const std::function<bool(const KeyAccess&)>& change) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (mkdir(directory_.c_str(), 0755) != 0 && errno != EEXIST) return WindowsErrorFromErrno(errno);
  ExclusiveLock lock(directory_ + "/registry.lock");
  if (lock.error()) return WindowsErrorFromErrno(lock.error());
  Migrate();
  Refresh(root);
  if (!change([&](std::wstring_view path, bool create) { return Key(root, path, create, false); })) return 0;
  return Store(root == RegRoot::kLocalMachine, root == RegRoot::kCurrentUser);
}

RegFileImport RegistryStore::Import(std::string_view bytes, std::uint32_t& error) {
  std::lock_guard<std::mutex> guard(mutex_);
  error = 0;
  if (mkdir(directory_.c_str(), 0755) != 0 && errno != EEXIST) {
    error = WindowsErrorFromErrno(errno);
    return RegFileImport{};
  }
  ExclusiveLock lock(directory_ + "/registry.lock");
  if (lock.error()) {
    error = WindowsErrorFromErrno(lock.error());
    return RegFileImport{};
  }
  Migrate();
  bool machine = false, user = false;
  RegFileImport result = ImportUnlocked(bytes, machine, user);
  error = Store(machine, user);
  return result;
}

}  // namespace kestrel
