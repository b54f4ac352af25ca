#include "platform/model/wow64_view.h"

#include "text/nocase.h"

namespace kestrel {

std::wstring Wow64MachinePath(std::wstring_view path, const std::function<bool(std::wstring_view)>& exists) {
  std::vector<std::wstring_view> parts = SplitKeyPath(path);
  auto join = [&](std::wstring head, std::size_t from) {
    for (std::size_t i = from; i < parts.size(); ++i) head += L"\\" + std::wstring(parts[i]);
    return head;
  };
  if (parts.empty() || !EqualsNoCase(parts[0], L"Software")) return join(L"", 0).substr(parts.empty() ? 0 : 1);
  std::wstring software(parts[0]);
  if (parts.size() > 1 && EqualsNoCase(parts[1], L"Wow6432Node")) return join(software, 1);
  if (parts.size() > 1 && EqualsNoCase(parts[1], L"Classes")) {
    // The 32-bit classes share Software\Classes except for the keys that
    // Software\Classes\Wow6432Node has of its own.
    std::wstring classes = software + L"\\" + std::wstring(parts[1]);
    if (parts.size() == 2 || EqualsNoCase(parts[2], L"Wow6432Node")) return join(classes, 2);
    if (exists(classes + L"\\Wow6432Node\\" + std::wstring(parts[2]))) return join(classes + L"\\Wow6432Node", 2);
    return join(classes, 2);
  }
  return join(software + L"\\Wow6432Node", 1);
}

}  // namespace kestrel
