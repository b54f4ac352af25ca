#include "util/file_tree.h"

#include <functional>

#include "text/nocase.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

bool IsDots(const std::wstring& name) { return name == L"." || name == L".."; }

/// The path of `name` in `folder`, made in one piece.
std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  std::wstring path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += L'\\';
  path += name;
  return path;
}

bool IsLink(std::uint32_t attributes) {
  return (attributes & win::kFileAttributeReparsePoint) != 0;
}

/// A path in one spelling for comparisons: "/" as "\", no doubled or
/// trailing separators, case folded.
std::wstring ComparableForm(const std::wstring& path) {
  std::wstring out;
  out.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && !out.empty() && out.back() == L'\\' && out.size() > 1) continue;
    out += FoldCase(c);
  }
  TrimTrailingSeparators(out);
  return out;
}

/// Enumerates `pattern` the way the walks do: the next entry is asked for
/// before the current one is handled, and the walk ends after the entry
/// for which there is no next one.
void ForEachEntry(Platform& os, const std::wstring& pattern, const std::function<void(const FindDataW&)>& handle) {
  FindDataW data;
  Handle find = os.FindFirstFileW(pattern, data);
  if (find == kInvalidHandleValue) return;
  bool more = true;
  while (more) {
    FindDataW current = std::move(data);
    data = FindDataW();
    more = os.FindNextFileW(find, data);
    handle(current);
  }
  os.FindClose(find);
}

struct CopyWalk {
  Platform& os;
  bool failIfExists;
  /// The target root as ComparableForm: a source entry that is the target
  /// itself (the target lies inside the source) is never copied, or the
  /// copy would feed on its own output.
  std::wstring targetRoot;

  void Copy(const std::wstring& source, const std::wstring& target) {
    ForEachEntry(os, source + L"\\*.*", [&](const FindDataW& entry) {
      if (IsDots(entry.fileName) || EqualsNoCase(entry.fileName, L"gamepatch")) return;
      std::wstring from = Join(source, entry.fileName);
      std::wstring to = Join(target, entry.fileName);
      if (entry.attributes & win::kFileAttributeDirectory) {
        // A folder link may point anywhere, up to one of its own parents:
        // it is not followed.
        if (IsLink(entry.attributes)) return;
        if (ComparableForm(from) == targetRoot) return;
        CreateDirectoryPath(os, to);
        Copy(from, to);
      } else if (!EqualsNoCase(entry.fileName, L"Kestrel.exe")) {
        os.CopyFileW(from, to, failIfExists);
      }
    });
  }
};

/// Removes a link itself: a folder link like an empty folder, a file link
/// like a file.  What it points to stays.
void RemoveLink(Platform& os, const std::wstring& path, std::uint32_t attributes) {
  if (attributes & win::kFileAttributeDirectory)
    os.RemoveDirectoryW(path);
  else
    os.DeleteFileW(path);
}

void DeleteTree(Platform& os, const std::wstring& path) {
  ForEachEntry(os, path + L"\\*", [&](const FindDataW& entry) {
    if (IsDots(entry.fileName)) return;
    std::wstring full = Join(path, entry.fileName);
    if (IsLink(entry.attributes)) {
      // Its attributes are not touched either: on some machines that
      // would change the target's.
      RemoveLink(os, full, entry.attributes);
      return;
    }
    os.SetFileAttributesW(full, win::kFileAttributeNormal);
    if (entry.attributes & win::kFileAttributeDirectory)
      DeleteTree(os, full);
    else
      os.DeleteFileW(full);
  });
  os.RemoveDirectoryW(path);
}

}  // namespace

void TrimTrailingSeparators(std::wstring& path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
}

int CreateDirectoryPath(Platform& os, const std::wstring& path) {
  if (os.PathIsDirectoryW(path)) return 1;
  if (path.size() >= kMaxPath) return 0;
  std::wstring parent = path;
  TrimTrailingSeparators(parent);
  if (!PathRemoveFileSpec(parent)) return 0;
  if (!os.PathIsDirectoryW(parent)) CreateDirectoryPath(os, parent);
  return os.CreateDirectoryW(path) ? 1 : 0;
}

int CopyDirectoryTree(Platform& os, const std::wstring& source, const std::wstring& target, int failIfExists) {
  if (EqualsNoCase(source, target)) return 0;
  // An empty path would stand for the root of the current drive.
  if (source.empty() || target.empty()) return 0;
  CopyWalk walk{os, (failIfExists & 0xFF) != 0, ComparableForm(target)};
  walk.Copy(source, target);
  return 1;
}

int DeleteDirectoryTree(Platform& os, const std::wstring& path) {
  if (!os.PathFileExistsW(path)) return 0;
  // A link given as the path is removed, never what it points to.
  std::uint32_t attributes = os.GetFileAttributesW(path);
  if (attributes != win::kInvalidFileAttributes && IsLink(attributes)) {
    RemoveLink(os, path, attributes);
    return 1;
  }
  DeleteTree(os, path);
  return 1;
}

}  // namespace kestrel
