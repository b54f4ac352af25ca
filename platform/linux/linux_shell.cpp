// Program starts: the shell's and CreateProcess's paths to a started
// program, detached or as a child the launcher waits for.
#include <sys/stat.h>

#include <cstdlib>

#include "platform/linux/detached_spawn.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/linux_platform.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

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

}  // namespace

std::intptr_t LinuxPlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                           const std::wstring& parameters, const std::wstring& directory,
                                           int showMode) {
  if (ShellExecuteExW(0, verb, file, parameters, directory, showMode, nullptr)) return kShellOk;
  return ShellResult(GetLastError());
}

bool LinuxPlatform::ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, const std::wstring& directory, int /*showMode*/,
                                    Handle* process) {
  if (process) *process = kNoHandle;
  if (!verb.empty() && !EqualsNoCase(verb, L"open")) {
    SetLastError(win::kNoAssociation);
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
    SetLastError(plan.error);
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
      SetLastError(win::kDirectory);
      return false;
    }
    plan.request.directory = root_.PlainHost(plan.request.directory);
  }
  if (!process) {
    int err = SpawnDetached(plan.request);
    SetLastError(WindowsErrorFromErrno(err));
    return err == 0;
  }
  pid_t pid = 0;
  int err = SpawnChild(plan.request, pid);
  SetLastError(WindowsErrorFromErrno(err));
  if (err != 0) return false;
  std::lock_guard<std::mutex> guard(lock_);
  Handle h = nextHandle_++;
  ProcessObject& p = processes_[h];
  p.pid = pid;
  p.child = true;
  *process = h;
  return true;
}

// The machine model has no component objects: every thread is ready for
// the shell's program starts as it is.
bool LinuxPlatform::CoInitializeEx(std::uint32_t) { return true; }

void LinuxPlatform::CoUninitialize() {}

}  // namespace kestrel
