#include "platform/model/version_resource.h"

#include <algorithm>
#include <string_view>

namespace kestrel {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfo = 1;
constexpr std::size_t kFixedSize = 13 * 4;
/// A version resource's length is a 16-bit field; anything claiming far
/// more than that is corrupt.
constexpr std::uint32_t kMaxResource = 1u << 20;

/// Little-endian reads that fail instead of reading past the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool U16(std::uint64_t at, std::uint32_t& out) const {
    if (at > bytes_.size() || bytes_.size() - at < 2) return false;
    out = bytes_[at] | (bytes_[at + 1] << 8);
    return true;
  }
  bool U32(std::uint64_t at, std::uint32_t& out) const {
    if (at > bytes_.size() || bytes_.size() - at < 4) return false;
    out = static_cast<std::uint32_t>(bytes_[at]) | (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
          (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
    return true;
  }
  bool Has(std::uint64_t at, std::uint64_t length) const {
    return at <= bytes_.size() && bytes_.size() - at >= length;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

/// The file offset of an RVA and the bytes readable from there within its
/// section.
bool MapRva(const std::vector<Section>& sections, std::uint32_t rva, std::uint64_t& offset, std::uint64_t& available) {
  for (const Section& s : sections) {
    std::uint64_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
      std::uint64_t delta = rva - s.virtualAddress;
      if (delta >= s.rawSize) return false;  // in the section's zero-filled tail: nothing on disk
      offset = static_cast<std::uint64_t>(s.rawOffset) + delta;
      available = s.rawSize - delta;
      return true;
    }
  }
  return false;
}

enum class EntrySearch { kFound, kMissing, kCorrupt };

/// One level of the resource directory: the entry with `id`, or the first
/// entry when `id` is 0.  `dirOffset` is relative to the resource base.
EntrySearch FindEntry(const Reader& r, std::uint64_t base, std::uint64_t size, std::uint32_t dirOffset, std::uint32_t id,
                 std::uint32_t& target) {
  if (dirOffset > size || size - dirOffset < 16) return EntrySearch::kCorrupt;
  std::uint32_t named, ids;
  if (!r.U16(base + dirOffset + 12, named) || !r.U16(base + dirOffset + 14, ids)) return EntrySearch::kCorrupt;
  std::uint64_t count = static_cast<std::uint64_t>(named) + ids;
  std::uint64_t first = static_cast<std::uint64_t>(dirOffset) + 16;
  if (first + count * 8 > size) count = (size - first) / 8;  // a count past the end is cut, never followed
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint32_t name, data;
    if (!r.U32(base + first + i * 8, name) || !r.U32(base + first + i * 8 + 4, data)) return EntrySearch::kCorrupt;
    bool isId = (name & 0x80000000u) == 0;
    if (id == 0 || (isId && name == id)) {
      target = data;
      return EntrySearch::kFound;
    }
  }
  return EntrySearch::kMissing;
}

}  // namespace

bool ReadVersionResource(std::span<const std::uint8_t> image, std::vector<std::uint8_t>& resource,
                         std::uint32_t& error) {
  Reader r(image);
  error = win::kBadFormat;
  std::uint32_t magic, peOffset, signature;
  if (!r.U16(0, magic) || magic != 0x5A4D || !r.U32(0x3C, peOffset)) return false;
  if (!r.U32(peOffset, signature) || signature != 0x00004550) return false;
  std::uint64_t coff = static_cast<std::uint64_t>(peOffset) + 4;
  std::uint32_t sectionCount, optionalSize, optMagic;
  if (!r.U16(coff + 2, sectionCount) || !r.U16(coff + 16, optionalSize)) return false;
  std::uint64_t optional = coff + 20;
  if (!r.U16(optional, optMagic)) return false;
  std::uint64_t dirCountAt, dirsAt;
  if (optMagic == 0x10B) {
    dirCountAt = optional + 92;
    dirsAt = optional + 96;
  } else if (optMagic == 0x20B) {
    dirCountAt = optional + 108;
    dirsAt = optional + 112;
  } else {
    return false;
  }
  std::uint32_t dirCount, resourceRva = 0, resourceSize = 0;
  if (!r.U32(dirCountAt, dirCount)) return false;
  bool hasResourceDir = dirCount > 2 && dirsAt + 3 * 8 <= optional + optionalSize;
  if (hasResourceDir && (!r.U32(dirsAt + 16, resourceRva) || !r.U32(dirsAt + 20, resourceSize))) return false;

  std::vector<Section> sections;
  std::uint64_t table = optional + optionalSize;
  if (!r.Has(table, static_cast<std::uint64_t>(sectionCount) * 40)) return false;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    Section s{};
    std::uint64_t at = table + i * 40ull;
    if (!r.U32(at + 8, s.virtualSize) || !r.U32(at + 12, s.virtualAddress) || !r.U32(at + 16, s.rawSize) ||
        !r.U32(at + 20, s.rawOffset))
      return false;
    // Raw data past the end of the file is cut to what the file holds.
    if (s.rawOffset > image.size()) s.rawSize = 0;
    else s.rawSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.rawSize, image.size() - s.rawOffset));
    sections.push_back(s);
  }

  if (!hasResourceDir || resourceRva == 0) {
    error = win::kResourceDataNotFound;
    return false;
  }
  std::uint64_t base, available;
  if (!MapRva(sections, resourceRva, base, available)) return false;
  // Offsets inside the resource directory stay inside its section.
  std::uint64_t size = available;

  // Three fixed levels: type, name, language.  Each level's offset must
  // name a subdirectory, the last a data entry; nothing is followed twice.
  std::uint32_t level1, level2, leaf;
  auto find = [&](std::uint32_t dirOffset, std::uint32_t id, std::uint32_t& target) {
    EntrySearch found = FindEntry(r, base, size, dirOffset, id, target);
    if (found == EntrySearch::kMissing) error = win::kResourceTypeNotFound;
    return found == EntrySearch::kFound;
  };
  if (!find(0, kRtVersion, level1)) return false;
  if (!(level1 & 0x80000000u)) return false;
  if (!find(level1 & 0x7FFFFFFFu, kVsVersionInfo, level2)) return false;
  if (!(level2 & 0x80000000u)) return false;
  if (!find(level2 & 0x7FFFFFFFu, 0, leaf)) return false;
  if (leaf & 0x80000000u) return false;  // a fourth level: not a valid directory
  if (leaf > size || size - leaf < 16) return false;
  std::uint32_t dataRva, dataSize;
  if (!r.U32(base + leaf, dataRva) || !r.U32(base + leaf + 4, dataSize)) return false;
  if (dataSize == 0 || dataSize > kMaxResource) return false;
  std::uint64_t dataAt, dataAvailable;
  if (!MapRva(sections, dataRva, dataAt, dataAvailable) || dataAvailable < dataSize) return false;
  resource.assign(image.begin() + static_cast<std::ptrdiff_t>(dataAt),
                  image.begin() + static_cast<std::ptrdiff_t>(dataAt + dataSize));
  error = 0;
  return true;
}

bool ParseFixedFileInfo(std::span<const std::uint8_t> block, FixedFileInfo& info) {
  Reader r(block);
  std::uint32_t length, valueLength;
  if (!r.U16(0, length) || !r.U16(2, valueLength)) return false;
  // The block's own length bounds it when it is shorter than the buffer.
  std::uint64_t end = length != 0 && length < block.size() ? length : block.size();
  // The key ("VS_VERSION_INFO") ends at its terminator; the value follows
  // on the next 32-bit boundary.
  std::uint64_t at = 6;
  for (;;) {
    std::uint32_t c;
    if (at + 2 > end || !r.U16(at, c)) return false;
    at += 2;
    if (c == 0) break;
  }
  at = (at + 3) & ~std::uint64_t{3};
  if (valueLength < kFixedSize || at + kFixedSize > end) return false;
  std::uint32_t v[13];
  for (int i = 0; i < 13; ++i)
    if (!r.U32(at + i * 4, v[i])) return false;
  if (v[0] != win::kFixedFileInfoSignature) return false;
  info = FixedFileInfo{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12]};
  return true;
}

std::vector<std::uint8_t> BuildVersionInfoBlock(FixedFileInfo info) {
  info.signature = win::kFixedFileInfoSignature;
  if (info.strucVersion == 0) info.strucVersion = 0x00010000;
  std::vector<std::uint8_t> out;
  auto u16 = [&](std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  u16(0);  // length, filled in below
  u16(kFixedSize);
  u16(0);  // binary value
  for (char c : std::string_view("VS_VERSION_INFO")) u16(static_cast<std::uint8_t>(c));
  u16(0);
  while (out.size() % 4) out.push_back(0);
  for (std::uint32_t v : {info.signature, info.strucVersion, info.fileVersionMS, info.fileVersionLS,
                          info.productVersionMS, info.productVersionLS, info.fileFlagsMask, info.fileFlags,
                          info.fileOS, info.fileType, info.fileSubtype, info.fileDateMS, info.fileDateLS})
    u32(v);
  out[0] = static_cast<std::uint8_t>(out.size());
  out[1] = static_cast<std::uint8_t>(out.size() >> 8);
  return out;
}

std::uint32_t VersionBlockPair::Size(const std::string& key, const Read& read, std::uint32_t& error) {
  std::vector<std::uint8_t> block;
  FileState state;
  error = 0;
  bool found = read(block, state, error);
  std::lock_guard<std::mutex> guard(lock_);
  held_ = found;
  key_ = key;
  state_ = state;
  block_ = std::move(block);
  return found ? static_cast<std::uint32_t>(block_.size()) : 0;
}

bool VersionBlockPair::Data(const std::string& key, const FileState* current, std::uint32_t size, const Read& read,
                            std::vector<std::uint8_t>& block, std::uint32_t& error) {
  bool kept = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (held_ && current && key_ == key && state_ == *current) {
      block = std::move(block_);
      kept = true;
    }
    held_ = false;
    block_.clear();
  }
  error = 0;
  FileState state;
  if (!kept && !read(block, state, error)) return false;
  if (block.size() > size) block.resize(size);
  return true;
}

FixedFileInfo MakeFileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
  FixedFileInfo info;
  info.signature = win::kFixedFileInfoSignature;
  info.strucVersion = 0x00010000;
  info.fileVersionMS = info.productVersionMS = (static_cast<std::uint32_t>(a) << 16) | b;
  info.fileVersionLS = info.productVersionLS = (static_cast<std::uint32_t>(c) << 16) | d;
  info.fileOS = 0x40004;  // VOS_NT_WINDOWS32
  info.fileType = 2;      // VFT_DLL
  return info;
}

}  // namespace kestrel
