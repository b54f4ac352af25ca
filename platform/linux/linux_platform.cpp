#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/linux/active_desktop.h"
#include "platform/linux/detached_spawn.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/known_folders.h"
#include "platform/linux/message_box.h"
#include "platform/linux/named_mutex.h"
#include "platform/linux/process_list.h"
#include "platform/linux/whole_file.h"
#include "platform/model/command_line_args.h"
#include "platform/model/version_resource.h"
#include "text/nocase.h"
#include "text/utf.h"
#include "text/wide_format.h"

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

/// ShellExecuteW's old error number for a Windows error.
std::intptr_t ShellResult(std::uint32_t error) {
  switch (error) {
    case win::kFileNotFound: return kSeErrFileNotFound;
    case win::kPathNotFound:
    case win::kDirectory: return kSeErrPathNotFound;
    case win::kAccessDenied: return kSeErrAccessDenied;
    case win::kBadExeFormat: return kSeErrBadFormat;
    case win::kNoAssociation: return kSeErrNoAssociation;
    default: return kSeErrFileNotFound;
  }
}

int PidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

int PidfdSendSignal(int pidfd, int signal) {
#ifdef SYS_pidfd_send_signal
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

/// A Windows exit code from a wait status: a signal's death reads as
/// 128 + its number, as shells report it.
std::uint32_t ExitCodeOf(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return 1;
}

}  // namespace

LinuxPlatform::LinuxPlatform() : LinuxPlatform(MachineRoot()) {}

LinuxPlatform::LinuxPlatform(MachineRoot root)
    : root_(std::move(root)),
      registry_(
          root_.root(), [this](const std::wstring& message) { OutputDebugStringW(message); },
          [this](std::string_view bytes) { return acp_.ToWide(bytes); }),
      display_(root_.root() + "/display.ini") {}

LinuxPlatform::~LinuxPlatform() {
  // A thread never waited for is still joined: nothing may run on after
  // the platform it uses.
  for (auto& entry : threads_)
    if (entry.second.joinable()) entry.second.join();
  for (std::thread& t : closedThreads_)
    if (t.joinable()) t.join();
  for (auto& entry : processes_)
    if (entry.second.pidfd >= 0) close(entry.second.pidfd);
  // Programs still running keep running; the ones that ended are reaped.
  for (auto& entry : processes_)
    if (entry.second.child && !entry.second.ended) Reap(entry.second, false);
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
  MachineRoot::Found found;
  if (!root_.ToHost(path, host, error, &found)) {
    tLastError = error;
    return false;
  }
  if (found.missingInExistingFolder) {
    tLastError = win::kFileNotFound;
    return false;
  }
  struct stat st;
  // A link's own lstat says nothing of its target.
  if ((!found.exists || S_ISLNK(found.st.st_mode)) && stat(host.c_str(), &st) != 0) {
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
  if (!ReadWhole(path, host, bytes)) return false;
  tLastError = 0;
  return true;
}

bool LinuxPlatform::ReadWhole(const std::wstring& path, const std::string& host, std::string& bytes) {
  int err = ReadWholeFile(host, bytes);
  if (err == EFBIG)
    OutputDebugStringW(FormatWide(L"MSG: File not read, larger than %d MiB: file=%s",
                                  {static_cast<int>(kMaxWholeFileBytes >> 20), path}));
  tLastError = WindowsErrorFromErrno(err);
  return err == 0;
}

std::shared_ptr<const ProfileText> LinuxPlatform::LoadProfile(const std::wstring& file) {
  std::wstring path = ProfileFilePath(file);
  // Resolved on every call (one lstat when the name is in the case on the
  // disk): a file renamed, replaced or reached through a drive that subst
  // re-points is never read from its old place.
  std::string host;
  struct stat st;
  std::uint32_t error;
  if (!root_.ToHost(path, host, error)) {
    tLastError = error;
    return nullptr;
  }
  if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    tLastError = win::kFileNotFound;
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock_);
  auto it = profiles_.find(host);
  if (it != profiles_.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino &&
      it->second.size == st.st_size && it->second.modified.tv_sec == st.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == st.st_mtim.tv_nsec) {
    tLastError = 0;  // as Windows' profile reads do for a file they could read
    return it->second.text;
  }
  std::string bytes;
  if (!ReadWhole(path, host, bytes)) return nullptr;
  CachedProfile& entry = profiles_[host];
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.size = st.st_size;
  entry.modified = st.st_mtim;
  entry.text = std::make_shared<const ProfileText>(
      DecodeTextFile(bytes, [this](std::string_view b) { return acp_.ToWide(b); }));
  tLastError = 0;
  return entry.text;
}

std::wstring LinuxPlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                     const std::wstring& file) {
  return ProfileGetString(LoadProfile(file).get(), section, key, defaultValue, bufferChars);
}

int LinuxPlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                         const std::wstring& file) {
  return ProfileGetInt(LoadProfile(file).get(), section, key, defaultValue);
}

std::intptr_t LinuxPlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                           const std::wstring& parameters, const std::wstring& directory,
                                           int showMode) {
  if (ShellExecuteExW(0, verb, file, parameters, directory, showMode, nullptr)) return kShellOk;
  return ShellResult(tLastError);
}

bool LinuxPlatform::ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, const std::wstring& directory, int /*showMode*/,
                                    Handle* process) {
  if (process) *process = kNoHandle;
  if (!verb.empty() && !EqualsNoCase(verb, L"open")) {
    tLastError = win::kNoAssociation;
    return false;
  }
  ProgramStarter starter(root_, StartTools::Detect());
  bool wantHandle = (mask & win::kSeeMaskNoCloseProcess) && process;
  return Start(starter.ShellExecute(file, parameters, directory), directory, wantHandle ? process : nullptr);
}

bool LinuxPlatform::CreateProcessW(const std::wstring& commandLine, std::uint32_t /*creationFlags*/,
                                   int /*showMode*/, const std::wstring& directory, Handle* process) {
  if (process) *process = kNoHandle;
  ProgramStarter starter(root_, StartTools::Detect());
  return Start(starter.CreateProcess(commandLine, directory), directory, process);
}

bool LinuxPlatform::Start(StartPlan plan, const std::wstring& directory, Handle* process) {
  if (plan.error != 0) {
    tLastError = plan.error;
    return false;
  }
  if (plan.throughWine) {
    // Wine sets a new prefix up on its first start, which takes a while
    // and shows Wine's own messages; the operator can do that beforehand.
    struct stat st;
    const char* prefix = std::getenv("WINEPREFIX");
    std::string folder = prefix && *prefix ? prefix : root_.root();
    if (stat((folder + "/.update-timestamp").c_str(), &st) != 0)
      OutputDebugStringW(L"MSG: The Wine prefix " + Utf8ToWide(folder) +
                         L" is not prepared yet: Wine sets it up now, before the program starts (run "
                         L"\"kestrel-system wineboot\" once to prepare it)");
  }
  if (!directory.empty()) {
    std::uint32_t error;
    struct stat st;
    if (!root_.ToHost(directory, plan.request.directory, error) || stat(plan.request.directory.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
      tLastError = win::kDirectory;
      return false;
    }
    plan.request.directory = root_.PlainHost(plan.request.directory);
  }
  if (!process) {
    int err = SpawnDetached(plan.request);
    tLastError = WindowsErrorFromErrno(err);
    return err == 0;
  }
  pid_t pid = 0;
  int err = SpawnChild(plan.request, pid);
  tLastError = WindowsErrorFromErrno(err);
  if (err != 0) return false;
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  ProcessObject& p = processes_[h];
  p.pid = pid;
  p.child = true;
  *process = h;
  return true;
}

bool LinuxPlatform::Reap(ProcessObject& p, bool block) {
  if (p.ended) return true;
  if (!p.child) return false;
  int status = 0;
  pid_t got;
  while ((got = waitpid(p.pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got == 0) return false;
  p.ended = true;
  p.exitCode = got < 0 ? 1 : (p.terminated ? p.terminateCode : ExitCodeOf(status));
  return true;
}

bool LinuxPlatform::GetExitCodeProcess(Handle process, std::uint32_t* exitCode) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = processes_.find(process);
  if (it == processes_.end()) {
    tLastError = win::kInvalidHandle;
    return false;
  }
  ProcessObject& p = it->second;
  if (!p.child && !p.ended) {
    // A process opened by id: its exit code is its parent's to read.
    if (p.pidfd >= 0 && kill(p.pid, 0) != 0 && errno == ESRCH) p.ended = true;
    if (exitCode) *exitCode = p.ended ? p.terminateCode : win::kStillActive;
    return true;
  }
  bool ended = Reap(p, false);
  if (exitCode) *exitCode = ended ? p.exitCode : win::kStillActive;
  return true;
}

bool LinuxPlatform::CloseHandle(Handle handle) {
  std::lock_guard<std::mutex> guard(lock_);
  if (auto it = processes_.find(handle); it != processes_.end()) {
    ProcessObject p = it->second;
    processes_.erase(it);
    if (p.pidfd >= 0) close(p.pidfd);
    if (p.child && !Reap(p, false)) {
      // Still running: it is reaped when it ends, so it never lingers as a
      // zombie while the launcher goes on.
      std::thread([pid = p.pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    }
    return true;
  }
  if (snapshots_.erase(handle)) return true;
  if (auto it = mutexes_.find(handle); it != mutexes_.end()) {
    close(it->second);
    mutexes_.erase(it);
    return true;
  }
  if (auto it = threads_.find(handle); it != threads_.end()) {
    closedThreads_.push_back(std::move(it->second));
    threads_.erase(it);
    return true;
  }
  tLastError = win::kInvalidHandle;
  return false;
}

Handle LinuxPlatform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t /*processId*/) {
  SnapshotObject snapshot;
  if (flags & win::kTh32csSnapProcess) {
    snapshot.entries = ListProcesses();
    if (snapshot.entries.empty()) {
      tLastError = win::kAccessDenied;  // no /proc to read
      return kNoHandle;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  snapshots_[h] = std::move(snapshot);
  return h;
}

bool LinuxPlatform::NextEntry(Handle snapshot, ProcessEntry& entry) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end()) {
    tLastError = win::kInvalidHandle;
    return false;
  }
  if (it->second.next >= it->second.entries.size()) {
    tLastError = win::kNoMoreFiles;
    return false;
  }
  entry = it->second.entries[it->second.next++];
  return true;
}

bool LinuxPlatform::Process32FirstW(Handle snapshot, ProcessEntry& entry) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = snapshots_.find(snapshot);
    if (it != snapshots_.end()) it->second.next = 0;
  }
  return NextEntry(snapshot, entry);
}

bool LinuxPlatform::Process32NextW(Handle snapshot, ProcessEntry& entry) { return NextEntry(snapshot, entry); }

Handle LinuxPlatform::OpenProcess(std::uint32_t /*access*/, bool /*inheritHandle*/, std::uint32_t processId) {
  pid_t pid = static_cast<pid_t>(processId);
  if (processId == 0 || pid <= 0) {
    tLastError = win::kInvalidParameter;
    return kNoHandle;
  }
  int pidfd = PidfdOpen(pid);
  if (pidfd < 0 && errno != ENOSYS) {
    tLastError = errno == ESRCH ? win::kInvalidParameter : WindowsErrorFromErrno(errno);
    return kNoHandle;
  }
  if (pidfd < 0 && kill(pid, 0) != 0 && errno == ESRCH) {
    tLastError = win::kInvalidParameter;
    return kNoHandle;
  }
  if (pidfd >= 0) fcntl(pidfd, F_SETFD, FD_CLOEXEC);
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  ProcessObject& p = processes_[h];
  p.pid = pid;
  p.pidfd = pidfd;
  tLastError = 0;
  return h;
}

bool LinuxPlatform::TerminateProcess(Handle process, std::uint32_t exitCode) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = processes_.find(process);
  if (it == processes_.end()) {
    tLastError = win::kInvalidHandle;
    return false;
  }
  ProcessObject& p = it->second;
  // Linux sets no exit code on a killed process: the code is remembered
  // for GetExitCodeProcess on this handle.
  if (p.ended || (p.child && Reap(p, false))) {
    tLastError = win::kAccessDenied;  // as Windows answers for a process that has ended
    return false;
  }
  int rc = p.pidfd >= 0 ? PidfdSendSignal(p.pidfd, SIGKILL) : kill(p.pid, SIGKILL);
  if (rc != 0) {
    tLastError = errno == ESRCH ? win::kAccessDenied : WindowsErrorFromErrno(errno);
    return false;
  }
  p.terminated = true;
  p.terminateCode = exitCode;
  return true;
}

Handle LinuxPlatform::CreateMutexW(const std::wstring& name, bool /*initialOwner*/) {
  root_.Ensure();
  bool exists = false;
  int fd = OpenNamedMutex(root_.root() + "/mutex", name, exists);
  if (fd < 0) {
    tLastError = WindowsErrorFromErrno(errno);
    return kNoHandle;
  }
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  mutexes_[h] = fd;
  tLastError = exists ? win::kAlreadyExists : 0;
  return h;
}

Handle LinuxPlatform::BeginThread(std::function<void()> routine) {
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  threads_.emplace(h, std::thread(std::move(routine)));
  return h;
}

// The machine model has no component objects: every thread is ready for
// the shell's program starts as it is.
bool LinuxPlatform::CoInitializeEx(std::uint32_t) { return true; }

void LinuxPlatform::CoUninitialize() {}

std::uint32_t LinuxPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  if (auto it = processes_.find(handle); it != processes_.end()) {
    ProcessObject& p = it->second;
    if (!p.child) {
      tLastError = win::kAccessDenied;  // opened for termination only: no right to wait
      return win::kWaitFailed;
    }
    if (p.ended) return win::kWaitObject0;
    pid_t pid = p.pid;
    guard.unlock();
    // Waited without holding the table: other threads go on meanwhile.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    ProcessObject probe;
    probe.pid = pid;
    probe.child = true;
    bool ended = false;
    if (milliseconds == win::kInfinite) {
      ended = Reap(probe, true);
    } else {
      for (;;) {
        if ((ended = Reap(probe, false))) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    guard.lock();
    auto again = processes_.find(handle);
    if (!ended) return win::kWaitTimeout;
    if (again != processes_.end() && !again->second.ended) {
      again->second.ended = true;
      again->second.exitCode = again->second.terminated ? again->second.terminateCode : probe.exitCode;
    }
    return win::kWaitObject0;
  }
  auto it = threads_.find(handle);
  if (it == threads_.end()) {
    tLastError = win::kInvalidHandle;
    return win::kWaitFailed;
  }
  if (milliseconds != win::kInfinite) {
    tLastError = win::kInvalidParameter;  // threads are only ever waited for to their end
    return win::kWaitFailed;
  }
  std::thread thread = std::move(it->second);
  threads_.erase(it);
  guard.unlock();
  if (thread.joinable()) thread.join();
  return win::kWaitObject0;
}

void LinuxPlatform::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool LinuxPlatform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!display_.Enum(modeNum, mode)) {
    tLastError = win::kInvalidParameter;
    return false;
  }
  return true;
}

long LinuxPlatform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  root_.Ensure();
  std::lock_guard<std::mutex> guard(lock_);
  return display_.Change(mode, flags);
}

int LinuxPlatform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  return ShowMessageBox(text, caption, type);
}

bool LinuxPlatform::ReadVersionBlock(const std::wstring& file, std::vector<std::uint8_t>& block) {
  std::string host;
  std::uint32_t error;
  if (!root_.ToHost(file, host, error)) {
    tLastError = error;
    return false;
  }
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);  // a FIFO never blocks the check
  if (fd < 0) {
    tLastError = WindowsErrorFromErrno(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    tLastError = S_ISDIR(st.st_mode) ? win::kAccessDenied : win::kBadFormat;
    return false;
  }
  if (st.st_size == 0) {
    close(fd);
    tLastError = win::kBadFormat;
    return false;
  }
  // Mapped rather than read: a DLL of hundreds of megabytes costs only the
  // pages the resource walk touches.
  void* image = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (image == MAP_FAILED) {
    tLastError = WindowsErrorFromErrno(errno);
    return false;
  }
  bool ok = ReadVersionResource(
      std::span(static_cast<const std::uint8_t*>(image), static_cast<std::size_t>(st.st_size)), block, error);
  munmap(image, static_cast<std::size_t>(st.st_size));
  tLastError = error;
  return ok;
}

std::uint32_t LinuxPlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  std::vector<std::uint8_t> block;
  if (!ReadVersionBlock(file, block)) return 0;
  return static_cast<std::uint32_t>(block.size());
}

bool LinuxPlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  if (!ReadVersionBlock(file, block)) return false;
  if (block.size() > size) block.resize(size);
  return true;
}

bool LinuxPlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                   FixedFileInfo& info) {
  if (subBlock != L"\\" || !ParseFixedFileInfo(block, info)) {
    tLastError = win::kResourceTypeNotFound;
    return false;
  }
  return true;
}

std::unique_ptr<ActiveDesktop> LinuxPlatform::CreateActiveDesktop() {
  return std::make_unique<LinuxActiveDesktop>(root_, registry_);
}

std::string LinuxPlatform::WideToAnsi(std::wstring_view text) { return acp_.FromWide(text); }
std::wstring LinuxPlatform::AnsiToWide(std::string_view bytes) { return acp_.ToWide(bytes); }

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<LinuxPlatform>(); }

}  // namespace kestrel
