#include "platform/linux/registry_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

#include "platform/linux/atomic_file.h"
#include "platform/linux/errno_map.h"
#include "util/nocase.h"
#include "util/utf.h"
#include "util/wide_format.h"

namespace kestrel {

namespace {

bool ReadWhole(const std::string& path, std::string& bytes, int& err) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return false;
  }
  bytes.clear();
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

}  // namespace

RegistryStore::RegistryStore(std::string directory, Diagnostics diagnostics, AnsiToWide ansi)
    : directory_(std::move(directory)), diagnostics_(std::move(diagnostics)), ansi_(std::move(ansi)) {}

std::string RegistryStore::HivePath(RegRoot root) const {
  return directory_ + (root == RegRoot::kLocalMachine ? "/HKLM.reg" : "/HKCU.reg");
}

std::wstring RegistryStore::RootName(RegRoot root) {
  return root == RegRoot::kLocalMachine ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

void RegistryStore::Refresh(RegRoot root) {
  Hive& hive = HiveOf(root);
  std::string path = HivePath(root);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (!hive.loaded || hive.size != -1) hive = Hive{};
    hive.loaded = true;
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
  if (!ReadWhole(path, bytes, err)) {
    hive.clean = false;
    return;
  }
  // The hive's own file may only speak of its own root.
  std::wstring name = RootName(root);
  RegistryTree* tree = &hive.tree;
  RegFileImport result = ImportRegFile(
      bytes,
      [&](std::wstring_view rootName, std::wstring& prefix) -> RegistryTree* {
        prefix.clear();
        return EqualsNoCase(rootName, name) ? tree : nullptr;
      },
      ansi_);
  hive.clean = result.recognized && result.problems.empty();
}

std::uint32_t RegistryStore::Save(RegRoot root) {
  Hive& hive = HiveOf(root);
  std::string path = HivePath(root);
  if (mkdir(directory_.c_str(), 0755) != 0 && errno != EEXIST) return WindowsErrorFromErrno(errno);
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
  std::string bytes = ExportRegFile(hive.tree, RootName(root));
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

void RegistryStore::Read(RegRoot root, const std::function<void(const RegistryTree&)>& read) {
  std::lock_guard<std::mutex> guard(mutex_);
  Refresh(root);
  read(HiveOf(root).tree);
}

std::uint32_t RegistryStore::Write(RegRoot root, const std::function<bool(RegistryTree&)>& change) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (mkdir(directory_.c_str(), 0755) != 0 && errno != EEXIST) return WindowsErrorFromErrno(errno);
  ExclusiveLock lock(directory_ + "/registry.lock");
  if (lock.error()) return WindowsErrorFromErrno(lock.error());
  Refresh(root);
  if (!change(HiveOf(root).tree)) return 0;
  return Save(root);
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
  Refresh(RegRoot::kLocalMachine);
  Refresh(RegRoot::kCurrentUser);
  bool touchedMachine = false, touchedUser = false;
  RegHiveResolver standard = StandardHives(localMachine_.tree, currentUser_.tree);
  RegFileImport result = ImportRegFile(
      bytes,
      [&](std::wstring_view rootName, std::wstring& prefix) {
        RegistryTree* tree = standard(rootName, prefix);
        touchedMachine = touchedMachine || tree == &localMachine_.tree;
        touchedUser = touchedUser || tree == &currentUser_.tree;
        return tree;
      },
      ansi_);
  if (touchedMachine) error = Save(RegRoot::kLocalMachine);
  if (touchedUser) {
    std::uint32_t userError = Save(RegRoot::kCurrentUser);
    if (!error) error = userError;
  }
  return result;
}

}  // namespace kestrel
