#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

// GDI+ wants min/max and the full COM declarations that the lean headers
// leave out.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "platform/win32/win32_active_desktop.h"
#include "platform/win32/win32_debug_log.h"

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
  if (ok && size.QuadPart > 0x7FFFFFFF) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // a launcher never reads files of gigabytes
    ok = false;
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
