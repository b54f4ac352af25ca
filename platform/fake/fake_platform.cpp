#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/model/profile_text.h"
#include "util/nocase.h"
#include "util/utf.h"
#include "util/wide_format.h"

namespace kestrel {

namespace {

// Queries leave no trace on the machine; Effects() leaves them out.
const std::set<std::wstring>& QueryOps() {
  static const std::set<std::wstring> ops = {
      L"GetModuleFileNameW", L"GetCommandLineW",          L"PathFileExistsW", L"ReadFileBytes",
      L"GetPrivateProfileStringW", L"GetPrivateProfileIntW", L"SHGetSpecialFolderPathW", L"SHGetValueW",
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
  while (key.size() > 3 && key.back() == L'\\') key.pop_back();
  return key;
}

void FakePlatform::Record(std::wstring op, std::vector<std::wstring> args) {
  calls_.push_back(FakeCall{std::move(op), std::move(args)});
}

void FakePlatform::AddDirectory(const std::wstring& path) {
  std::wstring key = Key(path);
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
  if (cut != std::wstring::npos) AddDirectory(key.substr(0, cut));
  files_[key] = std::move(bytes);
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
  return ProfileGetString(&text, section, key, defaultValue, bufferChars);
}

int FakePlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                        const std::wstring& file) {
  Record(L"GetPrivateProfileIntW", {section, key, std::to_wstring(defaultValue), file});
  auto it = files_.find(Key(file));
  if (it == files_.end()) return defaultValue;
  ProfileText text(DecodeTextFile(it->second, [this](std::string_view b) { return AnsiToWide(b); }));
  return ProfileGetInt(&text, section, key, defaultValue);
}

std::intptr_t FakePlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                          const std::wstring& parameters, const std::wstring& directory,
                                          int showMode) {
  Record(L"ShellExecuteW", {verb, file, parameters, directory, std::to_wstring(showMode)});
  auto it = startErrors.find(file);
  if (it != startErrors.end()) {
    lastError_ = it->second;
  } else {
    bool url = file.find(L"://") != std::wstring::npos;
    std::wstring path = file;
    if (file.find(L':') == std::wstring::npos && !directory.empty()) path = directory + L"\\" + file;
    lastError_ = (url || files_.count(Key(path))) ? 0 : win::kFileNotFound;
  }
  return lastError_ == 0 ? 42 : static_cast<std::intptr_t>(std::min<std::uint32_t>(lastError_, 32));
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
  auto it = registry_.find(ToUpperNoCase(RootName(root) + L"\\" + subKey + L"\\" + valueName));
  return it == registry_.end() ? nullptr : &it->second;
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
  registry_[ToUpperNoCase(RootName(root) + L"\\" + subKey + L"\\" + valueName)] =
      RegValue{type, std::vector<std::uint8_t>(data.begin(), data.end())};
  return win::kSuccess;
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
