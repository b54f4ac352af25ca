#include "platform/model/folder_listing.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/model/wildcard.h"
#include "text/nocase.h"

namespace kestrel {

std::vector<FindDataW> FolderListingOrder(std::wstring_view mask, bool driveRoot, std::vector<FindDataW> matched) {
  std::vector<FindDataW> listing;
  listing.reserve(matched.size() + 2);
  if (!driveRoot) {
    for (const wchar_t* dot : {L".", L".."})
      if (MatchesWildcard(mask, dot)) listing.push_back(FindDataW{win::kFileAttributeDirectory, 0, dot});
  }
  // Each name folded once rather than at every comparison.
  std::vector<std::pair<std::wstring, std::size_t>> order;
  order.reserve(matched.size());
  for (std::size_t i = 0; i < matched.size(); ++i) order.emplace_back(ToUpperNoCase(matched[i].fileName), i);
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : matched[a.second].fileName < matched[b.second].fileName;
  });
  for (const auto& [key, i] : order) listing.push_back(std::move(matched[i]));
  return listing;
}

}  // namespace kestrel
