#include "actions/file_deletion.h"

#include <vector>

#include "core/fitted_path.h"
#include "core/log.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "util/file_tree.h"

namespace kestrel {

std::wstring ListedItemPath(const LaunchContext& context, const std::wstring& item) {
  return JoinPath(context.baseDir, item);
}

bool StaysInsideFolder(const std::wstring& item) {
  int depth = 0;
  std::size_t pos = 0;
  while (pos <= item.size()) {
    std::size_t end = item.find_first_of(L"\\/", pos);
    if (end == std::wstring::npos) end = item.size();
    std::wstring_view part(item.data() + pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (--depth < 0) return false;
      continue;
    }
    if (part.find_first_not_of(L". ") == std::wstring_view::npos) return false;
    ++depth;
  }
  return depth > 0;
}

bool DeleteListedPaths(Platform& os, const LaunchContext& context, const std::wstring& list) {
  std::vector<std::wstring> items;
  if (!SplitList(items, list)) return false;
  for (const std::wstring& item : items) {
    // The base directory and anything outside it are never deleted, and a
    // path cut to fit would name something else.
    if (!StaysInsideFolder(item) || context.baseDir.empty()) {
      LogMessage(os, L"MSG: Delete passed over, item=\"%s\" is not inside dir=%s", {item, context.baseDir});
      continue;
    }
    std::wstring path = ListedItemPath(context, item);
    if (!PathFits(os, L"Delete", path)) continue;
    if (os.PathIsDirectoryW(path)) {
      DeleteDirectoryTree(os, path);
      LogMessage(os, L"MSG: Delete directory succeed, dir=%s", {path});
    } else {
      os.DeleteFileW(path);
      LogMessage(os, L"MSG: Delete file succeed, file=%s, code=%d", {path, LastErrorCode(os)});
    }
  }
  return true;
}

bool DelFileOrDirs(Platform& os, const LaunchContext& context) {
  std::wstring config = ConfigPath(context);
  if (!os.PathFileExistsW(config)) return true;
  DeleteListedPaths(os, context, os.GetPrivateProfileStringW(L"action_first", L"delFileOrDirs", L"", kMaxPath, config));
  return true;
}

}  // namespace kestrel
