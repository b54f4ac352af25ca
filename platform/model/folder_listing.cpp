#include "platform/model/folder_listing.h"

#include <algorithm>
#include <string>
#include <string_view>
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
  // Each name folded once rather than at every comparison, all into one
  // buffer.
  std::size_t total = 0;
  for (const FindDataW& entry : matched) total += entry.fileName.size();
  std::wstring folded;
  folded.reserve(total);
  struct Key {
    std::size_t at, size, index;
  };
  std::vector<Key> order;
  order.reserve(matched.size());
  for (std::size_t i = 0; i < matched.size(); ++i) {
    order.push_back({folded.size(), matched[i].fileName.size(), i});
    for (wchar_t c : matched[i].fileName) folded += FoldCase(c);
  }
  const std::wstring_view keys = folded;
  std::sort(order.begin(), order.end(), [&](const Key& a, const Key& b) {
    const std::wstring_view ka = keys.substr(a.at, a.size), kb = keys.substr(b.at, b.size);
    return ka != kb ? ka < kb : matched[a.index].fileName < matched[b.index].fileName;
  });
  for (const Key& key : order) entries_.push_back(std::move(matched[key.index]));
}

std::uint32_t FolderListing::Next(FindDataW& data) {
  if (next_ >= entries_.size()) return win::kNoMoreFiles;
  data = std::move(entries_[next_++]);  // each entry is handed out once
  return 0;
}

}  // namespace kestrel
