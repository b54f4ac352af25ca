#include "platform/model/folder_listing.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/model/wildcard.h"
#include "text/nocase.h"

namespace kestrel {

FolderListing::FolderListing(std::wstring_view mask, bool driveRoot, std::vector<FindDataW> matched) {
  entries_.reserve(matched.size() + 2);
  if (!driveRoot) {
    for (const wchar_t* dot : {L".", L".."})
      if (MatchesWildcard(mask, dot)) entries_.push_back(FindDataW{win::kFileAttributeDirectory, 0, dot});
  }
  // Each name folded once rather than at every comparison.
  std::vector<std::pair<std::wstring, std::size_t>> order;
  order.reserve(matched.size());
  for (std::size_t i = 0; i < matched.size(); ++i) order.emplace_back(ToUpperNoCase(matched[i].fileName), i);
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : matched[a.second].fileName < matched[b.second].fileName;
  });
  for (const auto& [key, i] : order) entries_.push_back(std::move(matched[i]));
}

std::uint32_t FolderListing::Next(FindDataW& data) {
  if (next_ >= entries_.size()) return win::kNoMoreFiles;
  data = std::move(entries_[next_++]);  // each entry is handed out once
  return 0;
}

}  // namespace kestrel
