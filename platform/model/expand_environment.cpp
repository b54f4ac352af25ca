#include "platform/model/expand_environment.h"

namespace kestrel {

std::wstring ExpandEnvironmentVariables(std::wstring_view text, const EnvironmentLookup& lookup) {
  std::wstring out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t open = text.find(L'%', pos);
    if (open == std::wstring_view::npos) break;
    std::size_t close = text.find(L'%', open + 1);
    if (close == std::wstring_view::npos) break;
    const std::wstring* value = lookup(text.substr(open + 1, close - open - 1));
    out += text.substr(pos, open - pos);
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      out += text.substr(open, close - open);
      pos = close;
    }
  }
  out += text.substr(pos);
  return out;
}

}  // namespace kestrel
