#include "platform/linux/recent_listing.h"

#include <chrono>
#include <unordered_map>

#include "text/utf.h"

namespace kestrel {
namespace recent_listing {

namespace {

using Clock = std::chrono::steady_clock;

/// How long after the listing its entries are answered from it.
constexpr auto kFresh = std::chrono::milliseconds(5);

struct Listing {
  const void* owner = nullptr;
  std::wstring folder;
  std::string host;
  Clock::time_point taken;
  std::unordered_map<std::wstring, struct stat> entries;
};

thread_local Listing tListing;

/// The entry `path` names in the listing, or null.
struct stat* Entry(const std::wstring& path) {
  Listing& l = tListing;
  if (!l.owner || path.size() <= l.folder.size() + 1 || path.compare(0, l.folder.size(), l.folder) != 0 ||
      path[l.folder.size()] != L'\\')
    return nullptr;
  std::wstring name = path.substr(l.folder.size() + 1);
  auto it = l.entries.find(name);
  return it == l.entries.end() ? nullptr : &it->second;
}

}  // namespace

void Keep(const void* owner, std::wstring folder, std::string host,
          std::vector<std::pair<std::wstring, struct stat>> entries) {
  Listing& l = tListing;
  l.owner = owner;
  l.folder = std::move(folder);
  l.host = std::move(host);
  l.entries.clear();
  for (auto& [name, st] : entries) l.entries.emplace(std::move(name), st);
  l.taken = Clock::now();
}

bool Find(const void* owner, const std::wstring& path, std::string& host, struct stat& st) {
  Listing& l = tListing;
  if (l.owner != owner || Clock::now() - l.taken > kFresh) return false;
  const struct stat* entry = Entry(path);
  if (!entry) return false;
  st = *entry;
  host = (l.host == "/" ? std::string() : l.host) + "/" + WideToUtf8(path.substr(l.folder.size() + 1));
  return true;
}

void SetMode(const std::wstring& path, mode_t mode) {
  if (struct stat* entry = Entry(path)) entry->st_mode = (entry->st_mode & ~07777) | (mode & 07777);
}

void Forget(const std::wstring& path) {
  if (Entry(path)) tListing.entries.erase(path.substr(tListing.folder.size() + 1));
}

}  // namespace recent_listing
}  // namespace kestrel
