// libFuzzer target: the skin archive's ZIP reader on arbitrary bytes.  Every
// input is opened, every reachable entry looked up by its own name and
// extracted in calls of a capacity that varies by entry, and the reader's
// promises are checked: no call writes past its capacity, no entry yields
// more than its stated size, and a lookup reports the index it found.

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/fake/fake_platform.h"
#include "skin/zip_reader.h"

namespace {

using namespace kestrel;
using fuzz::Check;

constexpr std::uint32_t kCapacities[] = {1, 7, 4096, 16384, 65536};
constexpr std::uint32_t kBuffer = 65536 + 64;
constexpr int kMaxEntries = 64;
constexpr std::uint64_t kMaxOutput = 16u << 20;

/// Extracts entry `index` to its end; returns the bytes produced.
std::uint64_t ExtractAll(ArchiveHandle handle, int index, std::uint32_t capacity, std::vector<std::uint8_t>& buffer) {
  std::uint64_t total = 0;
  for (;;) {
    // A guard after the capacity: the reader must never write there.
    buffer[capacity] = 0x5A;
    std::uint32_t produced = 0;
    const ZipResult r = UnzipArchiveItem(handle, index, buffer.data(), capacity, &produced);
    Check(produced <= capacity);
    Check(buffer[capacity] == 0x5A);
    Check((r == ResultMore) == (produced > 0));
    total += produced;
    if (r != ResultMore || total > kMaxOutput) return total;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FakePlatform os;
  if (size > UINT32_MAX) return 0;
  const ArchiveHandle handle = OpenArchive(os, data, static_cast<std::uint32_t>(size));
  if (handle == kNoArchive) return 0;
  std::vector<std::uint8_t> buffer(kBuffer);

  ZipListing listing;
  Check(ListArchiveItems(handle, listing) == ResultOk);
  Check(listing.items.size() <= listing.totalEntries);
  for (const ZipListedItem& item : listing.items) {
    if (item.index >= kMaxEntries) break;
    int index = -2;
    ZipEntryInfo info;
    const ZipResult found = FindArchiveItem(handle, os.AnsiToWide(item.storedName), &index, &info);
    if (found == ResultOk) {
      Check(index >= 0 && index <= item.index && info.index == index);
      Check(info.name.size() <= 259);
    } else {
      Check(found == ResultNotFound || found == ResultCorrupt || found == ResultRead);
    }
    const std::uint32_t capacity = kCapacities[item.index % 5];
    const std::uint64_t total = ExtractAll(handle, item.index, capacity, buffer);
    Check(total <= item.uncompressedSize);
    // Half-way extraction, then another entry, then the same one again.
    std::uint32_t produced = 0;
    UnzipArchiveItem(handle, item.index, buffer.data(), 3, &produced);
    FindArchiveItem(handle, L"Skin/wnd_00.png", nullptr, nullptr);
    UnzipArchiveItem(handle, 0, buffer.data(), 5, &produced);
  }
  // Indexes the walk did not reach, and the ones beyond the archive.
  for (int index : {static_cast<int>(listing.totalEntries) - 1, static_cast<int>(listing.totalEntries), -1}) {
    std::uint32_t produced = 0;
    UnzipArchiveItem(handle, index, buffer.data(), 16, &produced);
    Check(produced <= 16);
  }
  Check(CloseArchive(handle) == ResultOk);
  Check(CloseArchive(handle) == ResultWrongMode);
  return 0;
}
