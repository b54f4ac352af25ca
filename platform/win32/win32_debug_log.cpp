#include "platform/win32/win32_debug_log.h"

#include <windows.h>

#include <vector>

#include "text/utf.h"

namespace kestrel {

void AppendDebugLogLine(const std::wstring& message) {
  // The process environment as it is now (not the C runtime's copy), so
  // the variable can be set by the program itself.
  DWORD needed = ::GetEnvironmentVariableW(L"KESTREL_LOG", nullptr, 0);
  if (needed <= 1) return;
  std::vector<wchar_t> name(needed, L'\0');
  if (::GetEnvironmentVariableW(L"KESTREL_LOG", name.data(), needed) == 0) return;
  // Append-only access: each line lands whole at the end of the file, also
  // when several launchers write at once.
  HANDLE file = ::CreateFileW(name.data(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = WideToUtf8(message) + "\n";
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace kestrel
