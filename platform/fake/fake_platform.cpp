#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/model/command_line_args.h"
#include "platform/model/logical_drives.h"
#include "platform/model/profile_text.h"
#include "platform/model/profile_writer.h"
#include "platform/model/version_resource.h"
#include "platform/model/wildcard.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/utf.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

// Queries leave no trace on the machine; Effects() leaves them out.
const std::set<std::wstring>& QueryOps() {
  static const std::set<std::wstring> ops = {
      L"GetModuleFileNameW", L"GetCommandLineW",          L"PathFileExistsW", L"ReadFileBytes",
      L"GetPrivateProfileStringW", L"GetPrivateProfileIntW", L"SHGetSpecialFolderPathW", L"SHGetValueW",
      L"PathIsDirectoryW", L"GetFileAttributesW", L"FindFirstFileW", L"FindNextFileW", L"FindClose",
      L"GetLogicalDriveStringsW", L"GetPrivateProfileSectionW", L"RegOpenKeyExW",
      L"RegCloseKey", L"GlobalAllocFixed", L"DecodeImageFromMemory", L"DecodeImageFromFile",
      L"CreateToolhelp32Snapshot", L"Process32FirstW", L"Process32NextW",
      L"EnumDisplaySettingsW", L"GetFileVersionInfoSizeW", L"GetFileVersionInfoW", L"VerQueryValueW",
  };
  return ops;
}

std::wstring Hex(std::span<const std::uint8_t> data) {
  std::wstring out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i) out += L' ';
    out += FormatWide(L"%02x", {static_cast<unsigned>(data[i])});
  }
  return out;
}

std::wstring HexNumber(std::uint32_t value) { return FormatWide(L"0x%x", {value}); }

class FakeActiveDesktop : public ActiveDesktop {
 public:
  explicit FakeActiveDesktop(FakePlatform& fake) : fake_(fake) {}
  bool SetWallpaper(const std::wstring& file) override { return Step(L"SetWallpaper", file); }
  bool SetWallpaperOptions(int style) override { return Step(L"SetWallpaperOptions", std::to_wstring(style)); }
  bool ApplyChanges(std::uint32_t flags) override { return Step(L"ApplyChanges", std::to_wstring(flags)); }
  ~FakeActiveDesktop() override { fake_.Record(L"ActiveDesktop.Release"); }

 private:
  bool Step(const std::wstring& name, const std::wstring& arg) {
    fake_.Record(L"ActiveDesktop." + name, {arg});
    return fake_.failingDesktopStep != name;
  }
  FakePlatform& fake_;
};

}  // namespace

std::ostream& operator<<(std::ostream& os, const FakeCall& call) {
  std::wstring text = call.op + L"(";
  for (std::size_t i = 0; i < call.args.size(); ++i) text += (i ? L", " : L"") + call.args[i];
  return os << WideToUtf8(text + L")");
}

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

std::wstring FakePlatform::Key(const std::wstring& path) {
  std::wstring key = ToUpperNoCase(path);
  std::replace(key.begin(), key.end(), L'/', L'\\');
  // Windows reads "a\\b" as "a\b"; a leading "\\" (a network path) stays.
  for (std::size_t i = 2; i < key.size();)
    if (key[i] == L'\\' && key[i - 1] == L'\\') key.erase(i, 1);
    else ++i;
  while (key.size() > 3 && key.back() == L'\\') key.pop_back();
  return key;
}

void FakePlatform::Record(std::wstring op, std::vector<std::wstring> args) {
  calls_.push_back(FakeCall{std::move(op), std::move(args)});
}

void FakePlatform::AddDirectory(const std::wstring& path) {
  std::wstring key = Key(path);
  std::wstring shown = path;
  std::replace(shown.begin(), shown.end(), L'/', L'\\');
  while (shown.size() > 3 && shown.back() == L'\\') shown.pop_back();
  for (std::wstring k = key; !k.empty() && !names_.count(k);) {
    names_[k] = shown.substr(0, k.size());
    std::size_t cut = k.rfind(L'\\');
    if (cut == std::wstring::npos || cut < 2 || k.size() <= 3) break;
    k.resize(cut == 2 ? 3 : cut);
  }
  while (!key.empty()) {
    dirs_.insert(key);
    std::size_t cut = key.rfind(L'\\');
    if (cut == std::wstring::npos || cut < 2) break;
    key.resize(cut == 2 ? 3 : cut);  // "C:\" is the root
    if (key.size() == 3) {
      dirs_.insert(key);
      break;
    }
  }
}

void FakePlatform::AddFile(const std::wstring& path, std::string bytes) {
  std::wstring key = Key(path);
  std::size_t cut = key.rfind(L'\\');
  if (cut != std::wstring::npos) {
    std::wstring shown = path;
    std::replace(shown.begin(), shown.end(), L'/', L'\\');
    AddDirectory(shown.substr(0, cut == 2 ? 3 : cut));
    if (!names_.count(key)) names_[key] = shown;
  }
  files_[key] = std::move(bytes);
  ++fileWrites_;
}

void FakePlatform::SetReadOnly(const std::wstring& path, bool readOnly) {
  if (readOnly) readOnly_.insert(Key(path));
  else readOnly_.erase(Key(path));
}

bool FakePlatform::IsReadOnly(const std::wstring& path) const { return readOnly_.count(Key(path)) != 0; }

void FakePlatform::AddRegKey(RegRoot root, const std::wstring& subKey) { Hive(root).CreateKey(subKey); }

std::wstring FakePlatform::Parent(const std::wstring& key) {
  std::size_t cut = key.rfind(L'\\');
  if (cut == std::wstring::npos || key.size() <= 3) return std::wstring();
  return key.substr(0, cut == 2 ? 3 : cut);
}

bool FakePlatform::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

std::uint32_t FakePlatform::MissingError(const std::wstring& key) const {
  std::wstring parent = Parent(key);
  return parent.empty() || dirs_.count(parent) ? win::kFileNotFound : win::kPathNotFound;
}

std::wstring FakePlatform::DisplayName(const std::wstring& key) const {
  auto it = names_.find(key);
  std::wstring path = it == names_.end() ? key : it->second;
  return std::wstring(PathFindFileName(path));
}

void FakePlatform::AddIni(const std::wstring& path, const std::wstring& text) { AddFile(path, WideToUtf8(text)); }

bool FakePlatform::IsDirectory(const std::wstring& path) const { return dirs_.count(Key(path)) != 0; }

const std::string* FakePlatform::FileBytes(const std::wstring& path) const {
  auto it = files_.find(Key(path));
  return it == files_.end() ? nullptr : &it->second;
}

std::vector<FakeCall> FakePlatform::Effects() const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls_)
    if (!QueryOps().count(c.op)) out.push_back(c);
  return out;
}

std::vector<FakeCall> FakePlatform::CallsOf(const std::wstring& op) const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls_)
    if (c.op == op) out.push_back(c);
  return out;
}

std::vector<std::wstring> FakePlatform::Logs() const {
  std::vector<std::wstring> out;
  for (const FakeCall& c : calls_)
    if (c.op == L"OutputDebugStringW") out.push_back(c.args.at(0));
  return out;
}

void FakePlatform::InitializeFramework() { Record(L"InitializeFramework"); }

std::wstring FakePlatform::GetModuleFileNameW() {
  Record(L"GetModuleFileNameW");
  return moduleFileName;
}

std::wstring FakePlatform::GetCommandLineW() {
  Record(L"GetCommandLineW");
  return commandLine;
}

std::wstring FakePlatform::NativePathToWindows(const std::wstring& path) { return path; }

std::uint32_t FakePlatform::GetLastError() { return lastError_; }
void FakePlatform::SetLastError(std::uint32_t code) { lastError_ = code; }

void FakePlatform::OutputDebugStringW(const std::wstring& message) { Record(L"OutputDebugStringW", {message}); }

bool FakePlatform::PathFileExistsW(const std::wstring& path) {
  Record(L"PathFileExistsW", {path});
  std::wstring key = Key(path);
  bool found = files_.count(key) || dirs_.count(key);
  lastError_ = found ? lastError_ : win::kFileNotFound;
  return found;
}

bool FakePlatform::ReadFileBytes(const std::wstring& path, std::string& bytes) {
  Record(L"ReadFileBytes", {path});
  auto it = files_.find(Key(path));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return false;
  }
  bytes = it->second;
  lastError_ = 0;
  return true;
}

std::string FakePlatform::ProfileBytes(const std::wstring& file) const {
  auto it = files_.find(Key(file));
  return it == files_.end() ? std::string() : it->second;
}

std::wstring FakePlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                    const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                    const std::wstring& file) {
  Record(L"GetPrivateProfileStringW", {section, key, defaultValue, std::to_wstring(bufferChars), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return ProfileGetString(nullptr, section, key, defaultValue, bufferChars);
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;  // Windows' profile reads clear the last error for a file they could read
  return ProfileGetString(&text, section, key, defaultValue, bufferChars);
}

int FakePlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                        const std::wstring& file) {
  Record(L"GetPrivateProfileIntW", {section, key, std::to_wstring(defaultValue), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return defaultValue;
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;
  return ProfileGetInt(&text, section, key, defaultValue);
}

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

std::optional<std::uint32_t> FakePlatform::ExitCode(Handle process) const {
  auto it = exitCodes_.find(process);
  if (it == exitCodes_.end()) return std::nullopt;
  return it->second;
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
    return kInvalidHandleValue;
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

std::wstring FakePlatform::HandleName(Handle handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? L"invalid" : it->second;
}

Handle FakePlatform::NewHandle(const std::wstring& kind) {
  Handle h = nextHandle_++;
  handles_[h] = kind + std::to_wstring(h - 0x100 + 1);
  return h;
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

std::wstring FakePlatform::SHGetSpecialFolderPathW(int csidl) {
  Record(L"SHGetSpecialFolderPathW", {std::to_wstring(csidl)});
  auto it = knownFolders_.find(csidl);
  return it == knownFolders_.end() ? std::wstring() : it->second;
}

std::wstring FakePlatform::RootName(RegRoot root) {
  return root == RegRoot::kLocalMachine ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

const FakePlatform::RegValue* FakePlatform::FindRegValue(RegRoot root, const std::wstring& subKey,
                                                         const std::wstring& valueName) const {
  const RegistryTree& hive = root == RegRoot::kLocalMachine ? localMachine_ : currentUser_;
  return hive.FindValue(subKey, valueName);
}

long FakePlatform::SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                               std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  Record(L"SHGetValueW", {RootName(root), subKey, valueName, std::to_wstring(data.size())});
  const RegValue* value = FindRegValue(root, subKey, valueName);
  if (!value) return win::kFileNotFound;
  if (type) *type = value->type;
  if (dataSize) *dataSize = static_cast<std::uint32_t>(value->data.size());
  if (value->data.size() > data.size()) return win::kMoreData;
  std::copy(value->data.begin(), value->data.end(), data.begin());
  return win::kSuccess;
}

long FakePlatform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                               std::uint32_t type, std::span<const std::uint8_t> data) {
  Record(L"SHSetValueW", {RootName(root), subKey, valueName, std::to_wstring(type), Hex(data)});
  Hive(root).SetValue(subKey, valueName, RegValue{type, std::vector<std::uint8_t>(data.begin(), data.end())});
  return win::kSuccess;
}

bool FakePlatform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  Record(L"EnumDisplaySettingsW", {modeNum == win::kEnumCurrentSettings    ? std::wstring(L"ENUM_CURRENT_SETTINGS")
                                   : modeNum == win::kEnumRegistrySettings ? std::wstring(L"ENUM_REGISTRY_SETTINGS")
                                                                           : std::to_wstring(modeNum)});
  if (modeNum == win::kEnumCurrentSettings) mode = display;
  else if (modeNum == win::kEnumRegistrySettings) mode = storedDisplay;
  else return false;
  mode.fields = win::kDmBitsPerPel | win::kDmPelsWidth | win::kDmPelsHeight | win::kDmDisplayFrequency;
  return true;
}

long FakePlatform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  if (!mode) {
    Record(L"ChangeDisplaySettingsW", {L"null", HexNumber(flags)});
    display = storedDisplay;
    return win::kDispChangeSuccessful;
  }
  Record(L"ChangeDisplaySettingsW",
         {std::to_wstring(mode->bitsPerPel), std::to_wstring(mode->pelsWidth), std::to_wstring(mode->pelsHeight),
          std::to_wstring(mode->displayFrequency), HexNumber(mode->fields), HexNumber(flags)});
  DisplayMode next = display;
  if ((mode->fields & win::kDmBitsPerPel) && mode->bitsPerPel) next.bitsPerPel = mode->bitsPerPel;
  if ((mode->fields & win::kDmPelsWidth) && mode->pelsWidth) next.pelsWidth = mode->pelsWidth;
  if ((mode->fields & win::kDmPelsHeight) && mode->pelsHeight) next.pelsHeight = mode->pelsHeight;
  if ((mode->fields & win::kDmDisplayFrequency) && mode->displayFrequency)
    next.displayFrequency = mode->displayFrequency;
  if (flags & win::kCdsTest) return win::kDispChangeSuccessful;
  display = next;
  if (flags & win::kCdsUpdateRegistry) storedDisplay = next;
  return win::kDispChangeSuccessful;
}

int FakePlatform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  Record(L"MessageBoxW", {text, caption, HexNumber(type)});
  return messageBoxResult;
}

int FakePlatform::RunVersionChooser(LaunchContext& context) {
  Record(L"RunVersionChooser");
  return onChooser ? onChooser(context) : -1;
}

void FakePlatform::SetFileVersion(const std::wstring& path, const FixedFileInfo& info) {
  versions_[Key(path)] = BuildVersionInfoBlock(info);
  ++fileWrites_;
}

bool FakePlatform::VersionState(const std::wstring& key, FileState& state) const {
  auto bytes = files_.find(key);
  if (bytes == files_.end()) return false;
  // No inodes or clock here: the count of writes stands for the time, so
  // a write of any file between the size and the data call reads again.
  state = FileState{0, 0, bytes->second.size(), static_cast<std::int64_t>(fileWrites_), 0};
  return true;
}

bool FakePlatform::VersionBlock(const std::wstring& key, std::vector<std::uint8_t>& block, FileState& state,
                                std::uint32_t& error) const {
  if (!VersionState(key, state)) {
    error = dirs_.count(key) ? win::kAccessDenied : win::kFileNotFound;
    return false;
  }
  if (auto given = versions_.find(key); given != versions_.end()) {
    block = given->second;
    return true;
  }
  const std::string& image = files_.at(key);
  return ReadVersionResource(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()), block,
                             error);
}

std::uint32_t FakePlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  Record(L"GetFileVersionInfoSizeW", {file});
  std::wstring key = Key(file);
  std::uint32_t error = 0;
  std::uint32_t size = versionPair_.Size(
      WideToUtf8(key), [&](auto& block, auto& state, auto& err) { return VersionBlock(key, block, state, err); },
      error);
  if (size == 0) lastError_ = error;
  return size;
}

bool FakePlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  Record(L"GetFileVersionInfoW", {file, std::to_wstring(size)});
  std::wstring key = Key(file);
  FileState current;
  bool known = VersionState(key, current);
  std::uint32_t error = 0;
  bool ok = versionPair_.Data(
      WideToUtf8(key), known ? &current : nullptr, size,
      [&](auto& found, auto& state, auto& err) { return VersionBlock(key, found, state, err); }, block, error);
  if (!ok) lastError_ = error;
  return ok;
}

bool FakePlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                  FixedFileInfo& info) {
  Record(L"VerQueryValueW", {subBlock});
  return subBlock == L"\\" && ParseFixedFileInfo(block, info);
}

std::unique_ptr<ActiveDesktop> FakePlatform::CreateActiveDesktop() {
  Record(L"CreateActiveDesktop");
  if (failingDesktopStep == L"Create") return nullptr;
  return std::make_unique<FakeActiveDesktop>(*this);
}

// The fake's ANSI code page is Latin-1: one byte, one character.
std::string FakePlatform::WideToAnsi(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring FakePlatform::AnsiToWide(std::string_view bytes) {
  std::wstring out;
  for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace kestrel

namespace kestrel {

// --- Files -------------------------------------------------------------------

bool FakePlatform::PathIsDirectoryW(const std::wstring& path) {
  Record(L"PathIsDirectoryW", {path});
  return dirs_.count(Key(path)) != 0;
}

std::uint32_t FakePlatform::GetFileAttributesW(const std::wstring& path) {
  Record(L"GetFileAttributesW", {path});
  std::wstring key = Key(path);
  if (dirs_.count(key)) return win::kFileAttributeDirectory;
  if (!files_.count(key)) {
    lastError_ = MissingError(key);
    return win::kInvalidFileAttributes;
  }
  return readOnly_.count(key) ? win::kFileAttributeReadonly : win::kFileAttributeArchive;
}

bool FakePlatform::SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) {
  Record(L"SetFileAttributesW", {path, FormatWide(L"0x%x", {attributes})});
  std::wstring key = Key(path);
  if (dirs_.count(key)) return true;
  if (!files_.count(key)) return Fail(MissingError(key));
  SetReadOnly(path, (attributes & win::kFileAttributeReadonly) != 0);
  return true;
}

Handle FakePlatform::FindFirstFileW(const std::wstring& pattern, FindDataW& data) {
  Record(L"FindFirstFileW", {pattern});
  std::wstring key = Key(pattern);
  std::size_t cut = key.rfind(L'\\');
  std::wstring dir = cut == std::wstring::npos ? std::wstring() : key.substr(0, cut == 2 ? 3 : cut);
  std::wstring mask = std::wstring(PathFindFileName(pattern));
  if (!dirs_.count(dir)) {
    lastError_ = win::kPathNotFound;
    return kInvalidHandleValue;
  }
  Find find;
  auto add = [&](const std::wstring& name, std::uint32_t attributes, std::uint64_t size) {
    if (MatchesWildcard(mask, name)) find.entries.push_back(FindDataW{attributes, size, name});
  };
  if (dir.size() > 3) {  // folders below a drive's root list themselves and their parent
    add(L".", win::kFileAttributeDirectory, 0);
    add(L"..", win::kFileAttributeDirectory, 0);
  }
  for (const std::wstring& d : dirs_)
    if (Parent(d) == dir && d != dir) add(DisplayName(d), win::kFileAttributeDirectory, 0);
  for (const auto& [f, bytes] : files_)
    if (Parent(f) == dir)
      add(DisplayName(f), readOnly_.count(f) ? win::kFileAttributeReadonly : win::kFileAttributeArchive, bytes.size());
  if (find.entries.empty()) {
    lastError_ = win::kFileNotFound;
    return kInvalidHandleValue;
  }
  std::stable_sort(find.entries.begin(), find.entries.end(), [](const FindDataW& a, const FindDataW& b) {
                     bool dotA = a.fileName == L"." || a.fileName == L"..";
                     bool dotB = b.fileName == L"." || b.fileName == L"..";
                     if (dotA != dotB) return dotA;
                     return ToUpperNoCase(a.fileName) < ToUpperNoCase(b.fileName);
                   });
  Handle h = NewHandle(L"find");
  data = find.entries[0];
  find.next = 1;
  finds_[h] = std::move(find);
  lastError_ = 0;
  return h;
}

bool FakePlatform::FindNextFileW(Handle handle, FindDataW& data) {
  auto it = finds_.find(handle);
  Record(L"FindNextFileW", {handles_.count(handle) ? handles_[handle] : L"invalid"});
  if (it == finds_.end()) return Fail(win::kInvalidHandle);
  if (it->second.next >= it->second.entries.size()) return Fail(win::kNoMoreFiles);
  data = it->second.entries[it->second.next++];
  return true;
}

bool FakePlatform::FindClose(Handle handle) {
  Record(L"FindClose", {handles_.count(handle) ? handles_[handle] : L"invalid"});
  if (!finds_.erase(handle)) return Fail(win::kInvalidHandle);
  return true;
}

bool FakePlatform::CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) {
  Record(L"CopyFileW", {existingFile, newFile, failIfExists ? L"fail if exists" : L"overwrite"});
  std::wstring from = Key(existingFile), to = Key(newFile);
  auto source = files_.find(from);
  if (source == files_.end()) return Fail(dirs_.count(from) ? win::kAccessDenied : MissingError(from));
  if (!dirs_.count(Parent(to))) return Fail(win::kPathNotFound);
  if (dirs_.count(to)) return Fail(win::kAccessDenied);
  if (files_.count(to)) {
    if (failIfExists) return Fail(win::kFileExists);
    if (readOnly_.count(to)) return Fail(win::kAccessDenied);
    if (to == from) return Fail(win::kSharingViolation);
  }
  std::string bytes = source->second;
  bool readOnly = readOnly_.count(from) != 0;
  AddFile(newFile, std::move(bytes));
  SetReadOnly(newFile, readOnly);
  lastError_ = 0;
  return true;
}

bool FakePlatform::CreateDirectoryW(const std::wstring& path) {
  Record(L"CreateDirectoryW", {path});
  std::wstring key = Key(path);
  if (dirs_.count(key) || files_.count(key)) return Fail(win::kAlreadyExists);
  std::wstring parent = Parent(key);
  if (parent.empty() || !dirs_.count(parent)) return Fail(win::kPathNotFound);
  AddDirectory(path);
  lastError_ = 0;
  return true;
}

bool FakePlatform::DeleteFileW(const std::wstring& path) {
  Record(L"DeleteFileW", {path});
  std::wstring key = Key(path);
  if (dirs_.count(key)) return Fail(win::kAccessDenied);
  if (!files_.count(key)) return Fail(MissingError(key));
  if (readOnly_.count(key)) return Fail(win::kAccessDenied);
  files_.erase(key);
  names_.erase(key);
  lastError_ = 0;
  return true;
}

bool FakePlatform::RemoveDirectoryW(const std::wstring& path) {
  Record(L"RemoveDirectoryW", {path});
  std::wstring key = Key(path);
  if (files_.count(key)) return Fail(win::kDirectory);
  if (!dirs_.count(key)) return Fail(MissingError(key));
  for (const std::wstring& d : dirs_)
    if (Parent(d) == key && d != key) return Fail(win::kDirNotEmpty);
  for (const auto& f : files_)
    if (Parent(f.first) == key) return Fail(win::kDirNotEmpty);
  dirs_.erase(key);
  names_.erase(key);
  lastError_ = 0;
  return true;
}

bool FakePlatform::WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  Record(L"WriteFileBytes", {path, std::to_wstring(bytes.size())});
  std::wstring key = Key(path);
  if (dirs_.count(key) || readOnly_.count(key)) return Fail(win::kAccessDenied);
  if (!dirs_.count(Parent(key))) return Fail(win::kPathNotFound);
  AddFile(path, std::string(bytes));
  lastError_ = 0;
  return true;
}

// --- Drives ------------------------------------------------------------------

std::uint32_t FakePlatform::GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) {
  Record(L"GetLogicalDriveStringsW", {std::to_wstring(bufferChars)});
  std::vector<wchar_t> letters;
  for (const std::wstring& d : dirs_)
    if (d.size() == 3 && d[0] >= L'A' && d[0] <= L'Z') letters.push_back(d[0]);
  return LogicalDriveStrings(letters, bufferChars, buffer);
}

// --- Profile files -------------------------------------------------------------

std::uint32_t FakePlatform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                      std::uint32_t bufferChars, const std::wstring& file) {
  Record(L"GetPrivateProfileSectionW", {section, std::to_wstring(bufferChars), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) {
    lastError_ = win::kFileNotFound;
    return ProfileGetSection(nullptr, section, bufferChars, buffer);
  }
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  lastError_ = 0;
  return ProfileGetSection(&text, section, bufferChars, buffer);
}

bool FakePlatform::WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                              const std::optional<std::wstring>& value, const std::wstring& file) {
  Record(L"WritePrivateProfileStringW",
         {section, key ? *key : L"(null)", value ? *value : L"(null)", file});
  std::wstring k = Key(file);
  if (file.empty() || dirs_.count(k)) return Fail(win::kAccessDenied);
  if (!dirs_.count(Parent(k))) return Fail(win::kPathNotFound);
  if (readOnly_.count(k)) return Fail(win::kAccessDenied);
  AnsiCodec codec{[this](std::string_view b) { return AnsiToWide(b); },
                  [this](std::wstring_view t) { return WideToAnsi(t); }};
  std::optional<std::string> bytes = ProfileWrite(ProfileBytes(file), section, key, value, codec);
  if (!bytes) return Fail(win::kInvalidParameter);
  AddFile(file, std::move(*bytes));
  lastError_ = 0;
  return true;
}

// --- Registry ----------------------------------------------------------------

long FakePlatform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) {
  Record(L"RegOpenKeyExW", {RootName(root), subKey, FormatWide(L"0x%x", {samDesired})});
  if (key) *key = kNoHandle;
  if (!Hive(root).FindKey(subKey)) return win::kFileNotFound;
  Handle h = NewHandle(L"key");
  openKeys_[h] = {root, subKey};
  if (key) *key = h;
  return win::kSuccess;
}

long FakePlatform::RegCloseKey(Handle key) {
  auto it = openKeys_.find(key);
  Record(L"RegCloseKey", {it == openKeys_.end() ? L"invalid" : handles_[key]});
  if (it == openKeys_.end()) return win::kInvalidHandle;
  openKeys_.erase(it);
  return win::kSuccess;
}

}  // namespace kestrel
