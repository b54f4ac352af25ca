// The fake's construction, its record of calls, its handles and the
// process-wide odds and ends (module, command line, last error, code page).

#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "text/nocase.h"
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
      L"GetExitCodeProcess", L"CreateToolhelp32Snapshot", L"Process32FirstW", L"Process32NextW",
      L"EnumDisplaySettingsW", L"GetFileVersionInfoSizeW", L"GetFileVersionInfoW", L"VerQueryValueW",
  };
  return ops;
}

}  // namespace

std::wstring FakePlatform::Hex(std::span<const std::uint8_t> data) {
  std::wstring out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i) out += L' ';
    out += FormatWide(L"%02x", {static_cast<unsigned>(data[i])});
  }
  return out;
}

std::wstring FakePlatform::HexNumber(std::uint32_t value) { return FormatWide(L"0x%x", {value}); }

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

std::wstring FakePlatform::Parent(const std::wstring& key) {
  std::size_t cut = key.rfind(L'\\');
  if (cut == std::wstring::npos || key.size() <= 3) return std::wstring();
  return key.substr(0, cut == 2 ? 3 : cut);
}

bool FakePlatform::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
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

std::wstring FakePlatform::HandleName(Handle handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? L"invalid" : it->second;
}

Handle FakePlatform::NewHandle(const std::wstring& kind) {
  Handle h = nextHandle_++;
  handles_[h] = kind + std::to_wstring(h - 0x100 + 1);
  return h;
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
