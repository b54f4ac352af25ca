#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <winver.h>

// GDI+ wants min/max and the full COM declarations that the lean headers
// leave out.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "chooser/launch_chooser_sources.h"
#include "chooser/win32/kestrel_ex_dlg.h"
#include "platform/win32/win32_active_desktop.h"
#include "platform/win32/win32_debug_log.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

/// Restores the thread's last error when it goes out of scope, so that the
/// bookkeeping after a Windows call never changes what the call reported.
class KeepLastError {
 public:
  KeepLastError() : code_(::GetLastError()) {}
  ~KeepLastError() { ::SetLastError(code_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD code_;
};

/// A string argument that Windows takes as "none" when it is empty.
const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

HKEY RootKey(RegRoot root) { return root == RegRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

unsigned __stdcall ThreadMain(void* argument) {
  std::unique_ptr<std::function<void()>> routine(static_cast<std::function<void()>*>(argument));
  (*routine)();
  return 0;
}

}  // namespace

void Win32Platform::InitializeFramework() {
  // The framework's own start-up: the common controls of the manifest's
  // version 6 for the chooser's windows.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  // OLE and COM for the process (the shell's desktop object and
  // ShellExecuteW need them).  The launcher hosts no ActiveX controls, so
  // enabling control hosting needs nothing beyond OLE here.
  ::OleInitialize(nullptr);
  // GDI+ version 1, no debug callback, background thread and external
  // codecs not suppressed.  None of these results is tested.
  Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  gdiplusToken_ = token;
}

std::wstring Win32Platform::GetModuleFileNameW() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  KeepLastError keep;
  buffer[MAX_PATH - 1] = L'\0';  // older systems leave a cut name unterminated
  return buffer;
}

std::wstring Win32Platform::GetCommandLineW() { return ::GetCommandLineW(); }

std::wstring Win32Platform::NativePathToWindows(const std::wstring& path) { return path; }

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }
void Win32Platform::SetLastError(std::uint32_t code) { ::SetLastError(code); }

void Win32Platform::OutputDebugStringW(const std::wstring& message) {
  KeepLastError keep;
  ::OutputDebugStringW(message.c_str());
  AppendDebugLogLine(message);
}

bool Win32Platform::PathFileExistsW(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool Win32Platform::ReadFileBytes(const std::wstring& path, std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(file, &size) != FALSE;
  if (ok && static_cast<unsigned long long>(size.QuadPart) > kMaxWholeFileBytes) {
    // A 32-bit process could not even hold a file of a gigabyte or two.
    ::CloseHandle(file);
    OutputDebugStringW(FormatWide(L"MSG: File not read, larger than %d MiB: file=%s",
                                  {static_cast<int>(kMaxWholeFileBytes >> 20), path}));
    ::SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  std::string read;
  if (ok) {
    read.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (ok && done < read.size()) {
      DWORD got = 0;
      ok = ::ReadFile(file, read.data() + done, static_cast<DWORD>(read.size() - done), &got, nullptr) != FALSE;
      if (ok && got == 0) break;  // the file shrank while it was read
      done += got;
    }
    read.resize(done);
  }
  DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
  ::CloseHandle(file);
  if (ok) bytes = std::move(read);
  ::SetLastError(error);
  return ok;
}

std::wstring Win32Platform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                     const std::wstring& file) {
  if (bufferChars == 0) return std::wstring();
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                            bufferChars, file.c_str());
  KeepLastError keep;
  return std::wstring(buffer.data(), std::min<DWORD>(length, bufferChars - 1));
}

int Win32Platform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                         const std::wstring& file) {
  return static_cast<int>(::GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, file.c_str()));
}

std::intptr_t Win32Platform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                           const std::wstring& parameters, const std::wstring& directory,
                                           int showMode) {
  HINSTANCE result = ::ShellExecuteW(nullptr, OrNull(verb), file.c_str(), OrNull(parameters), OrNull(directory),
                                     showMode);
  return reinterpret_cast<std::intptr_t>(result);
}

bool Win32Platform::ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, const std::wstring& directory, int showMode,
                                    Handle* process) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.hwnd = nullptr;
  info.lpVerb = OrNull(verb);
  info.lpFile = file.c_str();
  info.lpParameters = OrNull(parameters);
  info.lpDirectory = OrNull(directory);
  info.nShow = showMode;
  BOOL ok = ::ShellExecuteExW(&info);
  if (process) *process = ok ? reinterpret_cast<Handle>(info.hProcess) : kNoHandle;
  return ok != FALSE;
}

// The start-up record a 32-bit program hands over is 68 bytes (104 in a
// 64-bit one); the size field tells Windows which layout it reads.
static_assert(sizeof(STARTUPINFOW) == (sizeof(void*) == 4 ? 68 : 104));

bool Win32Platform::CreateProcessW(const std::wstring& commandLine, std::uint32_t creationFlags, int showMode,
                                   const std::wstring& directory, Handle* process) {
  if (process) *process = kNoHandle;
  // CreateProcessW may write into the command line: it gets a copy.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showMode);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, OrNull(directory),
                        &startup, &info))
    return false;
  KeepLastError keep;
  ::CloseHandle(info.hThread);
  if (process) *process = reinterpret_cast<Handle>(info.hProcess);
  else ::CloseHandle(info.hProcess);
  return true;
}

bool Win32Platform::CloseHandle(Handle handle) { return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE; }

Handle Win32Platform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
  return reinterpret_cast<Handle>(::CreateToolhelp32Snapshot(flags, processId));  // INVALID_HANDLE_VALUE on failure
}

namespace {
bool ProcessStep(BOOL(WINAPI* step)(HANDLE, LPPROCESSENTRY32W), Handle snapshot, ProcessEntry& entry) {
  PROCESSENTRY32W record{};
  record.dwSize = sizeof record;  // sized for the wide-character variant
  if (!step(reinterpret_cast<HANDLE>(snapshot), &record)) return false;
  record.szExeFile[MAX_PATH - 1] = L'\0';
  entry.processId = record.th32ProcessID;
  entry.parentProcessId = record.th32ParentProcessID;
  entry.exeFile = record.szExeFile;
  return true;
}
}  // namespace

bool Win32Platform::Process32FirstW(Handle snapshot, ProcessEntry& entry) {
  return ProcessStep(::Process32FirstW, snapshot, entry);
}

bool Win32Platform::Process32NextW(Handle snapshot, ProcessEntry& entry) {
  return ProcessStep(::Process32NextW, snapshot, entry);
}

Handle Win32Platform::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
  return reinterpret_cast<Handle>(::OpenProcess(access, inheritHandle ? TRUE : FALSE, processId));
}

bool Win32Platform::TerminateProcess(Handle process, std::uint32_t exitCode) {
  return ::TerminateProcess(reinterpret_cast<HANDLE>(process), exitCode) != FALSE;
}

Handle Win32Platform::CreateMutexW(const std::wstring& name, bool initialOwner) {
  // No security attributes: the handle is never inherited by the programs
  // the launcher starts, so the mutex ends with the launcher.
  return reinterpret_cast<Handle>(::CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, name.c_str()));
}

Handle Win32Platform::BeginThread(std::function<void()> routine) {
  auto* argument = new std::function<void()>(std::move(routine));
  // The runtime's thread start: default stack size, running at once.
  std::uintptr_t thread = ::_beginthreadex(nullptr, 0, ThreadMain, argument, 0, nullptr);
  if (thread == 0) {
    KeepLastError keep;
    delete argument;
  }
  return static_cast<Handle>(thread);
}

bool Win32Platform::CoInitializeEx(std::uint32_t coInit) {
  KeepLastError keep;  // the callers' log lines report the error before it
  // S_FALSE (already initialised) is a success and is paired with its own
  // CoUninitialize too.
  return SUCCEEDED(::CoInitializeEx(nullptr, coInit));
}

void Win32Platform::CoUninitialize() {
  KeepLastError keep;
  ::CoUninitialize();
}

std::uint32_t Win32Platform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle), milliseconds);
}

void Win32Platform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::wstring Win32Platform::SHGetSpecialFolderPathW(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE);
  KeepLastError keep;
  buffer[MAX_PATH - 1] = L'\0';
  return buffer;
}

long Win32Platform::SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = static_cast<DWORD>(data.size());
  LSTATUS result = ::SHGetValueW(RootKey(root), subKey.c_str(), valueName.c_str(), &valueType,
                                 data.empty() ? nullptr : data.data(), &size);
  if (type) *type = valueType;
  if (dataSize) *dataSize = size;
  return result;
}

long Win32Platform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                std::uint32_t type, std::span<const std::uint8_t> data) {
  return ::SHSetValueW(RootKey(root), subKey.c_str(), valueName.c_str(), type, data.data(),
                       static_cast<DWORD>(data.size()));
}

bool Win32Platform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  DEVMODEW record{};
  record.dmSize = sizeof record;
  if (!::EnumDisplaySettingsW(nullptr, modeNum, &record)) return false;
  mode.bitsPerPel = record.dmBitsPerPel;
  mode.pelsWidth = record.dmPelsWidth;
  mode.pelsHeight = record.dmPelsHeight;
  mode.displayFrequency = record.dmDisplayFrequency;
  mode.fields = record.dmFields;
  return true;
}

long Win32Platform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  if (!mode) return ::ChangeDisplaySettingsW(nullptr, flags);
  DEVMODEW record{};  // every field the mode does not name stays zero
  record.dmSize = sizeof record;
  record.dmBitsPerPel = mode->bitsPerPel;
  record.dmPelsWidth = mode->pelsWidth;
  record.dmPelsHeight = mode->pelsHeight;
  record.dmDisplayFrequency = mode->displayFrequency;
  record.dmFields = mode->fields;
  return ::ChangeDisplaySettingsW(&record, flags);
}

int Win32Platform::RunVersionChooser(LaunchContext& context) {
  LaunchChooserSources sources(*this, context);
  CKestrelExDlg dialog(*this, sources);
  return static_cast<int>(dialog.DoModal());
}

int Win32Platform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), type);
}

std::uint32_t Win32Platform::GetFileVersionInfoSizeW(const std::wstring& file) {
  DWORD unused = 0;
  return ::GetFileVersionInfoSizeW(file.c_str(), &unused);
}

bool Win32Platform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  block.assign(size, 0);
  return ::GetFileVersionInfoW(file.c_str(), 0, size, block.data()) != FALSE;
}

bool Win32Platform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                   FixedFileInfo& info) {
  if (subBlock != L"\\" || block.empty()) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(const_cast<std::uint8_t*>(block.data()), subBlock.c_str(), &value, &length) || !value ||
      length < sizeof(VS_FIXEDFILEINFO))
    return false;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  info = FixedFileInfo{fixed->dwSignature,        fixed->dwStrucVersion,     fixed->dwFileVersionMS,
                       fixed->dwFileVersionLS,    fixed->dwProductVersionMS, fixed->dwProductVersionLS,
                       fixed->dwFileFlagsMask,    fixed->dwFileFlags,        fixed->dwFileOS,
                       fixed->dwFileType,         fixed->dwFileSubtype,      fixed->dwFileDateMS,
                       fixed->dwFileDateLS};
  return true;
}

std::unique_ptr<ActiveDesktop> Win32Platform::CreateActiveDesktop() { return CreateShellActiveDesktop(); }

std::string Win32Platform::WideToAnsi(std::wstring_view text) {
  KeepLastError keep;
  if (text.empty()) return std::string();
  int length = static_cast<int>(text.size());
  int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring Win32Platform::AnsiToWide(std::string_view bytes) {
  KeepLastError keep;
  if (bytes.empty()) return std::wstring();
  int length = static_cast<int>(bytes.size());
  int chars = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (chars <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, out.data(), chars);
  return out;
}

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace kestrel
