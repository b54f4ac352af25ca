#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/linux/active_desktop.h"
#include "platform/linux/errno_map.h"
#include "platform/model/command_line_args.h"
#include "text/utf.h"

namespace kestrel {

namespace {

thread_local std::uint32_t tLastError = 0;

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

std::unique_ptr<ActiveDesktop> LinuxPlatform::CreateActiveDesktop() {
  return std::make_unique<LinuxActiveDesktop>(root_, registry_);
}

std::string LinuxPlatform::WideToAnsi(std::wstring_view text) { return acp_.FromWide(text); }
std::wstring LinuxPlatform::AnsiToWide(std::string_view bytes) { return acp_.ToWide(bytes); }

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<LinuxPlatform>(); }

}  // namespace kestrel
