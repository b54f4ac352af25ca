// Files, drives, profile writing and registry keys on Windows: each
// operation is the Windows call of its name.

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/model/wildcard.h"
#include "platform/win32/win32_platform.h"

namespace kestrel {

namespace {

/// Restores the thread's last error when it goes out of scope.
class KeepError {
 public:
  KeepError() : code_(::GetLastError()) {}
  ~KeepError() { ::SetLastError(code_); }
  KeepError(const KeepError&) = delete;
  KeepError& operator=(const KeepError&) = delete;

 private:
  DWORD code_;
};

HKEY Root(RegRoot root) { return root == RegRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

void Fill(const WIN32_FIND_DATAW& found, FindDataW& data) {
  data.attributes = found.dwFileAttributes;
  data.fileSize = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  data.fileName = found.cFileName;
}

/// An enumeration and the name pattern it was asked for.
struct Search {
  HANDLE find;
  std::wstring mask;
};

/// Windows also matches a pattern against the 8.3 short names, so "*.reg"
/// finds "a.regx" and "old.reg~", and Wine lists every name for "*.".  The
/// launcher imports and deletes by pattern, so only long names that match
/// count, by the machine model's rules: both builds find the same files.
bool Matches(const Search& search, const WIN32_FIND_DATAW& found) {
  KeepError keep;
  return MatchesWildcard(search.mask, found.cFileName);
}

/// Moves on to the next entry that matches; false with the enumeration's
/// error (18 at the end).
bool NextMatch(Search& search, WIN32_FIND_DATAW& found) {
  while (::FindNextFileW(search.find, &found))
    if (Matches(search, found)) return true;
  return false;
}

}  // namespace

bool Win32Platform::PathIsDirectoryW(const std::wstring& path) { return ::PathIsDirectoryW(path.c_str()) != FALSE; }

std::uint32_t Win32Platform::GetFileAttributesW(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

bool Win32Platform::SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

Handle Win32Platform::FindFirstFileW(const std::wstring& pattern, FindDataW& data) {
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return kInvalidHandleValue;
  std::size_t folder = pattern.find_last_of(L"\\/:");
  auto search =
      std::make_unique<Search>(Search{find, pattern.substr(folder == std::wstring::npos ? 0 : folder + 1)});
  if (!Matches(*search, found) && !NextMatch(*search, found)) {
    ::FindClose(find);
    ::SetLastError(ERROR_FILE_NOT_FOUND);  // as when nothing matched at all
    return kInvalidHandleValue;
  }
  KeepError keep;
  Fill(found, data);
  return reinterpret_cast<Handle>(search.release());
}

bool Win32Platform::FindNextFileW(Handle find, FindDataW& data) {
  if (find == kNoHandle || find == kInvalidHandleValue) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  WIN32_FIND_DATAW found{};
  if (!NextMatch(*reinterpret_cast<Search*>(find), found)) return false;
  KeepError keep;
  Fill(found, data);
  return true;
}

bool Win32Platform::FindClose(Handle find) {
  if (find == kNoHandle || find == kInvalidHandleValue) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::unique_ptr<Search> search(reinterpret_cast<Search*>(find));
  return ::FindClose(search->find) != FALSE;
}

bool Win32Platform::CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) {
  return ::CopyFileW(existingFile.c_str(), newFile.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::CreateDirectoryW(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool Win32Platform::DeleteFileW(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool Win32Platform::RemoveDirectoryW(const std::wstring& path) { return ::RemoveDirectoryW(path.c_str()) != FALSE; }

bool Win32Platform::WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  // A link at the name is replaced, never written through: a link placed
  // in a game folder must not make the launcher overwrite the file it
  // points to.  (GetFileAttributesW describes the link itself.)
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    ::DeleteFileW(path.c_str());
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    ok = ::WriteFile(file, bytes.data(), chunk, &written, nullptr) != FALSE && written > 0;
    bytes.remove_prefix(written);
  }
  DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
  ::CloseHandle(file);
  ::SetLastError(error);
  return ok;
}

std::uint32_t Win32Platform::GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) {
  std::vector<wchar_t> chars(bufferChars + 1, L'\0');
  DWORD length = ::GetLogicalDriveStringsW(bufferChars, chars.data());
  KeepError keep;
  buffer.clear();
  if (length > 0 && length < bufferChars) buffer.assign(chars.data(), length);
  return length;
}

std::uint32_t Win32Platform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                       std::uint32_t bufferChars, const std::wstring& file) {
  buffer.clear();
  if (bufferChars == 0) return 0;
  std::vector<wchar_t> chars(bufferChars + 1, L'\0');  // one more zero than Windows is told of
  DWORD length = ::GetPrivateProfileSectionW(section.c_str(), chars.data(), bufferChars, file.c_str());
  KeepError keep;
  // The lines, each with its zero, and the zero that closes them.
  std::size_t end = 0;
  while (end < bufferChars && chars[end] != L'\0') end += std::wcslen(chars.data() + end) + 1;
  buffer.assign(chars.data(), std::min<std::size_t>(end, bufferChars));
  buffer += buffer.empty() ? std::wstring(2, L'\0') : std::wstring(1, L'\0');
  return length;
}

bool Win32Platform::WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                               const std::optional<std::wstring>& value, const std::wstring& file) {
  return ::WritePrivateProfileStringW(section.c_str(), key ? key->c_str() : nullptr,
                                      value ? value->c_str() : nullptr, file.c_str()) != FALSE;
}

long Win32Platform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) {
  HKEY opened = nullptr;
  LSTATUS result = ::RegOpenKeyExW(Root(root), subKey.c_str(), 0, samDesired, &opened);
  if (key) *key = result == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened) : kNoHandle;
  return result;
}

long Win32Platform::RegCloseKey(Handle key) { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }

}  // namespace kestrel
