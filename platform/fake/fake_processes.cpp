// The fake's programs, processes, threads, mutexes and clock.

#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/model/command_line_args.h"

namespace kestrel {

std::uint32_t FakePlatform::ShellStartError(const std::wstring& file, const std::wstring& directory) const {
  auto it = startErrors.find(file);
  if (it != startErrors.end()) return it->second;
  bool url = file.find(L"://") != std::wstring::npos;
  std::wstring path = file;
  if (file.find(L':') == std::wstring::npos && !directory.empty()) path = directory + L"\\" + file;
  return (url || files_.count(Key(path))) ? 0 : win::kFileNotFound;
}

std::intptr_t FakePlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                          const std::wstring& parameters, const std::wstring& directory,
                                          int showMode) {
  Record(L"ShellExecuteW", {verb, file, parameters, directory, std::to_wstring(showMode)});
  FakeCall start = calls_.back();
  lastError_ = ShellStartError(file, directory);
  if (lastError_ != 0) return static_cast<std::intptr_t>(std::min<std::uint32_t>(lastError_, 32));
  if (onStart) onStart(start);  // the shell closes its handle of the program itself
  return 42;
}

Handle FakePlatform::StartProcess(const FakeCall& start) {
  Handle h = NewHandle(L"process");
  exitCodes_[h] = onStart ? onStart(start) : 0;
  return h;
}

bool FakePlatform::ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                   const std::wstring& parameters, const std::wstring& directory, int showMode,
                                   Handle* process) {
  Record(L"ShellExecuteExW", {HexNumber(mask), verb, file, parameters, directory, std::to_wstring(showMode)});
  if (process) *process = kNoHandle;
  lastError_ = ShellStartError(file, directory);
  if (lastError_ != 0) return false;
  Handle h = StartProcess(calls_.back());
  if (process && (mask & win::kSeeMaskNoCloseProcess)) *process = h;
  return true;
}

bool FakePlatform::CreateProcessW(const std::wstring& commandLine, std::uint32_t creationFlags, int showMode,
                                  const std::wstring& directory, Handle* process) {
  Record(L"CreateProcessW", {commandLine, HexNumber(creationFlags), std::to_wstring(showMode), directory});
  std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
  lastError_ = win::kFileNotFound;
  for (const ProgramCandidate& c : candidates) {
    auto it = startErrors.find(c.program);
    if (it != startErrors.end()) {
      lastError_ = it->second;
      break;
    }
    bool bare = c.program.find_first_of(L"\\/:") == std::wstring::npos;
    std::wstring withExe = c.program;
    if (withExe.rfind(L'.') == std::wstring::npos || withExe.rfind(L'.') < withExe.find_last_of(L"\\/"))
      withExe += L".exe";
    if (bare || files_.count(Key(c.program)) || files_.count(Key(withExe))) {
      lastError_ = 0;
      break;
    }
  }
  if (lastError_ != 0) return false;
  Handle h = StartProcess(calls_.back());
  if (process) *process = h;
  return true;
}

bool FakePlatform::GetExitCodeProcess(Handle process, std::uint32_t* exitCode) {
  Record(L"GetExitCodeProcess", {HandleName(process)});
  auto it = exitCodes_.find(process);
  if (it == exitCodes_.end()) {
    lastError_ = win::kInvalidHandle;
    return false;
  }
  if (exitCode) *exitCode = it->second;
  return true;
}

bool FakePlatform::CloseHandle(Handle handle) {
  Record(L"CloseHandle", {HandleName(handle)});
  if (!handles_.erase(handle)) {
    lastError_ = win::kInvalidHandle;
    return false;
  }
  exitCodes_.erase(handle);
  openedProcesses_.erase(handle);
  snapshots_.erase(handle);
  return true;
}

std::uint32_t FakePlatform::AddProcess(const std::wstring& exeFile) {
  std::uint32_t id = nextProcessId_;
  nextProcessId_ += 4;
  processes_[id] = exeFile;
  return id;
}

Handle FakePlatform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
  Record(L"CreateToolhelp32Snapshot", {HexNumber(flags), std::to_wstring(processId)});
  if (failSnapshot) {
    lastError_ = win::kAccessDenied;
    return kNoHandle;
  }
  std::vector<ProcessEntry> entries;
  if (flags & win::kTh32csSnapProcess)
    for (const auto& [id, name] : processes_) entries.push_back(ProcessEntry{id, 4, name});
  Handle h = NewHandle(L"snapshot");
  snapshots_[h] = {std::move(entries), 0};
  return h;
}

bool FakePlatform::Process32FirstW(Handle snapshot, ProcessEntry& entry) {
  Record(L"Process32FirstW", {HandleName(snapshot)});
  auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end()) {
    lastError_ = win::kInvalidHandle;
    return false;
  }
  it->second.second = 0;
  return NextEntry(snapshot, entry);
}

bool FakePlatform::Process32NextW(Handle snapshot, ProcessEntry& entry) {
  Record(L"Process32NextW", {HandleName(snapshot)});
  return NextEntry(snapshot, entry);
}

bool FakePlatform::NextEntry(Handle snapshot, ProcessEntry& entry) {
  auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end()) {
    lastError_ = win::kInvalidHandle;
    return false;
  }
  auto& [entries, next] = it->second;
  if (next >= entries.size()) {
    lastError_ = win::kNoMoreFiles;
    return false;
  }
  entry = entries[next++];
  return true;
}

Handle FakePlatform::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
  Record(L"OpenProcess", {HexNumber(access), inheritHandle ? L"inherit" : L"no inherit", std::to_wstring(processId)});
  if (!processes_.count(processId)) {
    lastError_ = win::kInvalidParameter;
    return kNoHandle;
  }
  Handle h = NewHandle(L"process");
  openedProcesses_[h] = processId;
  lastError_ = 0;
  return h;
}

bool FakePlatform::TerminateProcess(Handle process, std::uint32_t exitCode) {
  Record(L"TerminateProcess", {HandleName(process), std::to_wstring(exitCode)});
  auto opened = openedProcesses_.find(process);
  if (opened != openedProcesses_.end()) {
    if (!processes_.erase(opened->second)) {
      lastError_ = win::kAccessDenied;  // it has already ended
      return false;
    }
    return true;
  }
  auto started = exitCodes_.find(process);
  if (started == exitCodes_.end()) {
    lastError_ = win::kInvalidHandle;
    return false;
  }
  started->second = exitCode;
  return true;
}

Handle FakePlatform::CreateMutexW(const std::wstring& name, bool initialOwner) {
  Record(L"CreateMutexW", {name, initialOwner ? L"owned" : L"not owned"});
  bool exists = heldMutexes_.count(name) || ownMutexes_.count(name);
  ownMutexes_.insert(name);
  lastError_ = exists ? win::kAlreadyExists : 0;
  return NewHandle(L"mutex");
}

Handle FakePlatform::BeginThread(std::function<void()> routine) {
  Handle h = NewHandle(L"thread");
  Record(L"BeginThread", {handles_[h]});
  pendingThreads_[h] = std::move(routine);
  return h;
}

bool FakePlatform::CoInitializeEx(std::uint32_t coInit) {
  Record(L"CoInitializeEx", {HexNumber(coInit)});
  return true;
}

void FakePlatform::CoUninitialize() { Record(L"CoUninitialize"); }

std::wstring FakePlatform::WaitName(std::uint32_t milliseconds) {
  return milliseconds == win::kInfinite ? L"INFINITE" : std::to_wstring(milliseconds);
}

std::uint32_t FakePlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  auto name = handles_.find(handle);
  Record(L"WaitForSingleObject", {name == handles_.end() ? L"invalid" : name->second, WaitName(milliseconds)});
  if (name == handles_.end()) {
    lastError_ = win::kInvalidHandle;
    return win::kWaitFailed;
  }
  auto routine = pendingThreads_.find(handle);
  if (routine != pendingThreads_.end()) {
    auto run = std::move(routine->second);
    pendingThreads_.erase(routine);
    run();
  }
  return win::kWaitObject0;
}

void FakePlatform::Sleep(std::uint32_t milliseconds) {
  Record(L"Sleep", {std::to_wstring(milliseconds)});
  clockMs_ += milliseconds;
}

}  // namespace kestrel
