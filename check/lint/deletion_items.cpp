// "delFileOrDirs" items the launcher passes over, and why: an empty item,
// one that leaves the game's folder or names it, a path that does not fit,
// nothing there to delete, or a read-only file, which the file delete
// refuses.

#include "actions/file_deletion.h"
#include "check/lint/lint_rules.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

}  // namespace

void CheckDeletionItems(const LintInput& in) {
  std::vector<std::wstring> items;
  if (!SplitList(items, in.config.String(L"action_first", L"delFileOrDirs"))) return;
  const int line = in.config.KeyLine(L"action_first", L"delFileOrDirs");
  auto skipped = [&](const std::wstring& item, const std::string& why) {
    in.Add(Severity::kWarning, "delete-skipped", line, "the delFileOrDirs item \"" + U8(item) + "\" " + why);
  };
  for (const std::wstring& item : items) {
    if (item.empty()) {
      skipped(item, "(from \"||\" or a closing \"|\") is passed over: it would name the whole game folder");
      continue;
    }
    if (!StaysInsideFolder(item)) {
      skipped(item, "is passed over: only what lies inside the game folder is deleted, never the folder itself");
      continue;
    }
    const std::wstring path = ListedItemPath(in.context, item);
    if (path.size() >= kMaxPath) {
      skipped(item, "is passed over: its path is " + std::to_string(path.size()) + " characters long, more than 259");
      continue;
    }
    const std::uint32_t attributes = in.os.GetFileAttributesW(path);
    if (attributes == win::kInvalidFileAttributes) {
      skipped(item, "names nothing: " + U8(path) + " is not there");
      continue;
    }
    const bool folder =
        (attributes & win::kFileAttributeDirectory) != 0 && (attributes & win::kFileAttributeReparsePoint) == 0;
    if (!folder && (attributes & win::kFileAttributeReadonly))
      skipped(item, "is a read-only file: the file delete refuses it and it stays");
  }
}

}  // namespace kestrel::check
