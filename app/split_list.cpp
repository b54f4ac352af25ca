#include "app/split_list.h"

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

}  // namespace kestrel
