#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/linux/detached_spawn.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/known_folders.h"
#include "platform/linux/named_mutex.h"
#include "platform/model/command_line_args.h"
#include "util/nocase.h"
#include "util/utf.h"

namespace kestrel {

namespace {

thread_local std::uint32_t tLastError = 0;

// ShellExecuteW's results at or below 32 are the old error numbers.
constexpr std::intptr_t kShellOk = 42;
constexpr std::intptr_t kSeErrFileNotFound = 2;
constexpr std::intptr_t kSeErrPathNotFound = 3;
constexpr std::intptr_t kSeErrAccessDenied = 5;
constexpr std::intptr_t kSeErrBadFormat = 11;
constexpr std::intptr_t kSeErrNoAssociation = 31;
constexpr std::uint32_t kErrorDirectory = 267;  // ERROR_DIRECTORY: bad working directory

bool ReadHostFile(const std::string& path, std::string& bytes, int& err) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return false;
  }
  struct stat st;
  const bool known = fstat(fd, &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    close(fd);
    err = EACCES;
    return false;
  }
  bytes.clear();
  // Skin archives run to megabytes: one allocation, not a doubling string.
  if (known && S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      err = errno;
      close(fd);
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  err = 0;
  return true;
}

}  // namespace

LinuxPlatform::LinuxPlatform() : LinuxPlatform(MachineRoot()) {}

LinuxPlatform::LinuxPlatform(MachineRoot root)
    : root_(std::move(root)),
      user_(MachineUserName()),
      registry_(
          root_.root(), [this](const std::wstring& message) { OutputDebugStringW(message); },
          [this](std::string_view bytes) { return acp_.ToWide(bytes); }) {}

LinuxPlatform::~LinuxPlatform() {
  // A thread never waited for is still joined: nothing may run on after
  // the platform it uses.
  for (auto& entry : threads_)
    if (entry.second.joinable()) entry.second.join();
}

void LinuxPlatform::InitializeFramework() { root_.Ensure(); }

std::wstring LinuxPlatform::GetModuleFileNameW() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) {
    tLastError = WindowsErrorFromErrno(errno);
    return std::wstring();
  }
  return root_.ToWindows(std::string(buf, static_cast<std::size_t>(n))).substr(0, 259);
}

std::wstring LinuxPlatform::GetCommandLineW() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string raw = all.str();
  std::vector<std::wstring> args;
  std::size_t pos = 0;
  while (pos < raw.size()) {
    std::size_t end = raw.find('\0', pos);
    if (end == std::string::npos) end = raw.size();
    args.push_back(Utf8ToWide(raw.substr(pos, end - pos)));
    pos = end + 1;
  }
  return JoinCommandLine(args);
}

std::wstring LinuxPlatform::NativePathToWindows(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  std::wstring windows = root_.ToWindows(WideToUtf8(path));
  return windows.empty() ? path : windows;
}

std::uint32_t LinuxPlatform::GetLastError() { return tLastError; }
void LinuxPlatform::SetLastError(std::uint32_t code) { tLastError = code; }

void LinuxPlatform::OutputDebugStringW(const std::wstring& message) {
  // One write per line, so lines of concurrent launchers never interleave.
  std::string line = WideToUtf8(message) + "\n";
  (void)!write(STDERR_FILENO, line.data(), line.size());
  if (const char* log = std::getenv("KESTREL_LOG"); log && *log) {
    int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      (void)!write(fd, line.data(), line.size());
      close(fd);
    }
  }
}

bool LinuxPlatform::PathFileExistsW(const std::wstring& path) {
  std::string host;
  std::uint32_t error;
  if (!root_.ToHost(path, host, error)) {
    tLastError = error;
    return false;
  }
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    tLastError = WindowsErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool LinuxPlatform::ReadFileBytes(const std::wstring& path, std::string& bytes) {
  std::string host;
  std::uint32_t error;
  if (!root_.ToHost(path, host, error)) {
    tLastError = error;
    return false;
  }
  int err;
  if (!ReadHostFile(host, bytes, err)) {
    tLastError = WindowsErrorFromErrno(err);
    return false;
  }
  tLastError = 0;
  return true;
}

const ProfileText* LinuxPlatform::LoadProfile(const std::wstring& file) {
  std::wstring path = ProfileFilePath(file);
  // Resolving a path costs a look at every folder on its way; a launch
  // reads the same file a hundred times, so the answer is kept while the
  // drives stay as they are (a change of drive links changes dosdevices).
  struct stat drives {};
  bool cacheable = path.size() > 2 && path[1] == L':' &&
                   stat((root_.root() + "/dosdevices").c_str(), &drives) == 0;
  std::string host;
  struct stat st;
  bool known = false;
  if (cacheable) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = profileHosts_.find(path);
    if (it != profileHosts_.end() && it->second.second.tv_sec == drives.st_mtim.tv_sec &&
        it->second.second.tv_nsec == drives.st_mtim.tv_nsec) {
      host = it->second.first;
      known = true;
    }
  }
  if (!known || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::uint32_t error;
    if (!root_.ToHost(path, host, error)) {
      tLastError = error;
      return nullptr;
    }
    if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      tLastError = win::kFileNotFound;
      return nullptr;
    }
    if (cacheable) {
      std::lock_guard<std::mutex> guard(lock_);
      profileHosts_[path] = {host, drives.st_mtim};
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  auto it = profiles_.find(host);
  if (it != profiles_.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino &&
      it->second.size == st.st_size && it->second.modified.tv_sec == st.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == st.st_mtim.tv_nsec)
    return &it->second.text;
  std::string bytes;
  int err;
  if (!ReadHostFile(host, bytes, err)) {
    tLastError = WindowsErrorFromErrno(err);
    return nullptr;
  }
  CachedProfile& entry = profiles_[host];
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.size = st.st_size;
  entry.modified = st.st_mtim;
  entry.text = ProfileText(DecodeTextFile(bytes, [this](std::string_view b) { return acp_.ToWide(b); }));
  return &entry.text;
}

std::wstring LinuxPlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                     const std::wstring& file) {
  return ProfileGetString(LoadProfile(file), section, key, defaultValue, bufferChars);
}

int LinuxPlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                         const std::wstring& file) {
  return ProfileGetInt(LoadProfile(file), section, key, defaultValue);
}

std::intptr_t LinuxPlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                           const std::wstring& parameters, const std::wstring& directory,
                                           int /*showMode*/) {
  auto fail = [](std::uint32_t error, std::intptr_t result) {
    tLastError = error;
    return result;
  };
  if (!verb.empty() && !EqualsNoCase(verb, L"open")) return fail(win::kNoAssociation, kSeErrNoAssociation);

  // A relative file is looked for in the working directory first.
  std::string program;
  std::uint32_t error = 0;
  bool relative = file.find(L':') == std::wstring::npos && (file.empty() || file[0] != L'\\');
  struct stat st;
  bool found = false;
  if (relative && !directory.empty() && root_.ToHost(directory + L"\\" + file, program, error))
    found = stat(program.c_str(), &st) == 0;
  if (!found) {
    if (!root_.ToHost(file, program, error)) return fail(error, kSeErrPathNotFound);
    if (stat(program.c_str(), &st) != 0) {
      std::uint32_t code = WindowsErrorFromErrno(errno);
      return fail(code, code == win::kPathNotFound ? kSeErrPathNotFound : kSeErrFileNotFound);
    }
  }
  // What is not an executable file has no program to open it here.
  if (!S_ISREG(st.st_mode) || access(program.c_str(), X_OK) != 0)
    return fail(win::kNoAssociation, kSeErrNoAssociation);

  std::string workDir;
  if (!directory.empty()) {
    if (!root_.ToHost(directory, workDir, error)) return fail(kErrorDirectory, kSeErrPathNotFound);
    struct stat dst;
    if (stat(workDir.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) return fail(kErrorDirectory, kSeErrPathNotFound);
  }

  std::vector<std::string> args{program};
  for (const std::wstring& a : SplitCommandLineArgs(parameters)) args.push_back(WideToUtf8(a));
  int err = SpawnDetached(program, args, workDir);
  if (err != 0) {
    std::uint32_t code = WindowsErrorFromErrno(err);
    return fail(code, code == win::kBadExeFormat ? kSeErrBadFormat
                      : code == win::kAccessDenied ? kSeErrAccessDenied
                                                   : kSeErrFileNotFound);
  }
  return fail(0, kShellOk);
}

Handle LinuxPlatform::CreateMutexW(const std::wstring& name, bool /*initialOwner*/) {
  root_.Ensure();
  bool exists = false;
  int fd = OpenNamedMutex(root_.root() + "/mutex", name, exists);
  if (fd < 0) {
    tLastError = WindowsErrorFromErrno(errno);
    return kNoHandle;
  }
  tLastError = exists ? win::kAlreadyExists : 0;
  return static_cast<Handle>(fd) + 1;
}

Handle LinuxPlatform::BeginThread(std::function<void()> routine) {
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  threads_.emplace(h, std::thread(std::move(routine)));
  return h;
}

std::uint32_t LinuxPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  std::thread thread;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = threads_.find(handle);
    if (it == threads_.end()) {
      tLastError = win::kInvalidHandle;
      return win::kWaitFailed;
    }
    if (milliseconds != win::kInfinite) {
      tLastError = win::kInvalidParameter;  // threads are only ever waited for to their end
      return win::kWaitFailed;
    }
    thread = std::move(it->second);
    threads_.erase(it);
  }
  if (thread.joinable()) thread.join();
  return win::kWaitObject0;
}

void LinuxPlatform::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::unique_ptr<ActiveDesktop> LinuxPlatform::CreateActiveDesktop() {
  // No desktop object yet: as CoCreateInstance with a class not registered.
  return nullptr;
}

std::string LinuxPlatform::WideToAnsi(std::wstring_view text) { return acp_.FromWide(text); }
std::wstring LinuxPlatform::AnsiToWide(std::string_view bytes) { return acp_.ToWide(bytes); }

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<LinuxPlatform>(); }

}  // namespace kestrel
