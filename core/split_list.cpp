#include "core/split_list.h"

#include <algorithm>

namespace kestrel {

bool SplitList(std::vector<std::wstring>& items, std::wstring_view text) {
  if (text.empty()) return false;
  items.clear();
  std::size_t pos = 0;
  std::size_t bar;
  while (pos < text.size() && (bar = text.find(L'|', pos)) != std::wstring_view::npos) {
    if (bar != 0) items.emplace_back(text.substr(pos, bar - pos));
    pos = bar + 1;
  }
  items.emplace_back(text.substr(std::min(pos, text.size())));
  return true;
}

std::optional<std::wstring> ListField(std::wstring_view text, std::size_t index) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    std::size_t bar = text.find(L'|', start);
    if (bar == std::wstring_view::npos) return std::nullopt;
    start = bar + 1;
  }
  std::size_t end = text.find(L'|', start);
  return std::wstring(text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
}

}  // namespace kestrel
