// Processes and threads the launcher holds handles to: children it waits
// for, processes it opens by id to end them, snapshots, mutexes, waits.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/linux/errno_map.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/named_mutex.h"
#include "platform/linux/process_list.h"

namespace kestrel {

namespace {

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

}  // namespace

bool LinuxPlatform::Reap(ProcessObject& p, bool block) {
  if (p.ended) return true;
  if (!p.child) return false;
  int status = 0;
  pid_t got;
  while ((got = waitpid(p.pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got == 0) return false;
  p.ended = true;
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
  SetLastError(win::kInvalidHandle);
  return false;
}

Handle LinuxPlatform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t /*processId*/) {
  SnapshotObject snapshot;
  if (flags & win::kTh32csSnapProcess) {
    snapshot.entries = ListProcesses();
    if (snapshot.entries.empty()) {
      SetLastError(win::kAccessDenied);  // no /proc to read
      return kInvalidHandleValue;
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
    SetLastError(win::kInvalidHandle);
    return false;
  }
  if (it->second.next >= it->second.entries.size()) {
    SetLastError(win::kNoMoreFiles);
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
    SetLastError(win::kInvalidParameter);
    return kNoHandle;
  }
  int pidfd = PidfdOpen(pid);
  if (pidfd < 0 && errno != ENOSYS) {
    SetLastError(errno == ESRCH ? win::kInvalidParameter : WindowsErrorFromErrno(errno));
    return kNoHandle;
  }
  if (pidfd < 0 && kill(pid, 0) != 0 && errno == ESRCH) {
    SetLastError(win::kInvalidParameter);
    return kNoHandle;
  }
  if (pidfd >= 0) fcntl(pidfd, F_SETFD, FD_CLOEXEC);
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  ProcessObject& p = processes_[h];
  p.pid = pid;
  p.pidfd = pidfd;
  SetLastError(0);
  return h;
}

bool LinuxPlatform::TerminateProcess(Handle process, std::uint32_t /*exitCode*/) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = processes_.find(process);
  if (it == processes_.end()) {
    SetLastError(win::kInvalidHandle);
    return false;
  }
  ProcessObject& p = it->second;
  if (p.ended || (p.child && Reap(p, false))) {
    SetLastError(win::kAccessDenied);  // as Windows answers for a process that has ended
    return false;
  }
  int rc = p.pidfd >= 0 ? PidfdSendSignal(p.pidfd, SIGKILL) : kill(p.pid, SIGKILL);
  if (rc != 0) {
    SetLastError(errno == ESRCH ? win::kAccessDenied : WindowsErrorFromErrno(errno));
    return false;
  }
  return true;
}

Handle LinuxPlatform::CreateMutexW(const std::wstring& name, bool /*initialOwner*/) {
  root_.Ensure();
  bool exists = false;
  int fd = OpenNamedMutex(root_.root() + "/mutex", name, exists);
  if (fd < 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return kNoHandle;
  }
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  mutexes_[h] = fd;
  SetLastError(exists ? win::kAlreadyExists : 0);
  return h;
}

Handle LinuxPlatform::BeginThread(std::function<void()> routine) {
  std::thread thread;
  try {
    thread = std::thread(std::move(routine));
  } catch (const std::system_error& e) {
    // As _beginthreadex fails: no handle, rather than an exception the
    // launcher would never catch.
    SetLastError(WindowsErrorFromErrno(e.code().value()));
    return kNoHandle;
  }
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  threads_.emplace(h, std::move(thread));
  return h;
}

std::uint32_t LinuxPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  if (auto it = processes_.find(handle); it != processes_.end()) {
    ProcessObject& p = it->second;
    if (!p.child) {
      SetLastError(win::kAccessDenied);  // opened for termination only: no right to wait
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
    if (again != processes_.end()) again->second.ended = true;
    return win::kWaitObject0;
  }
  auto it = threads_.find(handle);
  if (it == threads_.end()) {
    SetLastError(win::kInvalidHandle);
    return win::kWaitFailed;
  }
  if (milliseconds != win::kInfinite) {
    SetLastError(win::kInvalidParameter);  // threads are only ever waited for to their end
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

}  // namespace kestrel
