// The fake's files and folders: Windows path rules over two in-memory maps,
// folder listings, the logical drives and the known folders.

#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/model/folder_listing.h"
#include "platform/model/logical_drives.h"
#include "platform/model/missing_path.h"
#include "platform/model/wildcard.h"
#include "text/path_buffer.h"
#include "text/wide_format.h"

namespace kestrel {

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
}

void FakePlatform::SetReadOnly(const std::wstring& path, bool readOnly) {
  if (readOnly) readOnly_.insert(Key(path));
  else readOnly_.erase(Key(path));
}

bool FakePlatform::IsReadOnly(const std::wstring& path) const { return readOnly_.count(Key(path)) != 0; }

std::uint32_t FakePlatform::MissingError(const std::wstring& key) const {
  std::wstring parent = Parent(key);
  return MissingPathError(parent.empty() || dirs_.count(parent));
}

std::wstring FakePlatform::DisplayName(const std::wstring& key) const {
  auto it = names_.find(key);
  std::wstring path = it == names_.end() ? key : it->second;
  return std::wstring(PathFindFileName(path));
}

bool FakePlatform::IsDirectory(const std::wstring& path) const { return dirs_.count(Key(path)) != 0; }

const std::string* FakePlatform::FileBytes(const std::wstring& path) const {
  auto it = files_.find(Key(path));
  return it == files_.end() ? nullptr : &it->second;
}

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

std::wstring FakePlatform::SHGetSpecialFolderPathW(int csidl) {
  Record(L"SHGetSpecialFolderPathW", {std::to_wstring(csidl)});
  auto it = knownFolders_.find(csidl);
  return it == knownFolders_.end() ? std::wstring() : it->second;
}

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
  std::vector<FindDataW> matched;
  auto add = [&](const std::wstring& name, std::uint32_t attributes, std::uint64_t size) {
    if (MatchesWildcard(mask, name)) matched.push_back(FindDataW{attributes, size, name});
  };
  for (const std::wstring& d : dirs_)
    if (Parent(d) == dir && d != dir) add(DisplayName(d), win::kFileAttributeDirectory, 0);
  for (const auto& [f, bytes] : files_)
    if (Parent(f) == dir)
      add(DisplayName(f), readOnly_.count(f) ? win::kFileAttributeReadonly : win::kFileAttributeArchive, bytes.size());
  FolderListing listing(mask, dir.size() <= 3, std::move(matched));  // "C:\" is a drive's root
  if (listing.Next(data) != 0) {
    lastError_ = win::kFileNotFound;
    return kInvalidHandleValue;
  }
  Handle h = NewHandle(L"find");
  finds_[h] = std::move(listing);
  lastError_ = 0;
  return h;
}

bool FakePlatform::FindNextFileW(Handle handle, FindDataW& data) {
  auto it = finds_.find(handle);
  Record(L"FindNextFileW", {handles_.count(handle) ? handles_[handle] : L"invalid"});
  if (it == finds_.end()) return Fail(win::kInvalidHandle);
  std::uint32_t error = it->second.Next(data);
  return error == 0 || Fail(error);
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

}  // namespace kestrel
