#pragma once
// Builds ZIP archives byte by byte for tests and benchmarks, including the
// odd and broken ones real skins arrive as: stubs in front, data
// descriptors, wrong CRCs, lying sizes, long comments, split-archive
// fields.  Every field can be overridden; by default the archive is sound.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::testing {

struct ZipBuilderEntry {
  std::string name;                    ///< stored bytes of the name
  std::string data;                    ///< uncompressed content
  std::uint16_t method = 8;            ///< 0 stored, 8 deflated; others store `data` as is
  std::uint32_t dosDateTime = 0x58210000;  ///< 2024-01-01 00:00:00
  std::uint32_t externalAttributes = 0x81A40000;  ///< -rw-r--r--
  std::uint16_t flags = 0;
  bool dataDescriptor = false;         ///< flag bit 3, zero CRC and sizes locally, a descriptor after the data
  std::string localExtra;
  std::string centralExtra;
  std::string comment;
  /// Replaces the compressed bytes (for corrupt or cut deflate streams).
  std::optional<std::string> rawData;
  /// Overrides of the central header's fields.
  std::optional<std::uint32_t> centralCrc, centralCompressedSize, centralUncompressedSize, centralLocalOffset;
  std::optional<std::uint16_t> centralMethod, centralNameLength;
  /// Overrides of the local header's fields.
  std::optional<std::uint32_t> localSignature, localCrc, localCompressedSize, localUncompressedSize;
  std::optional<std::uint16_t> localMethod, localNameLength, localExtraLength;
};

/// Where the parts of a built archive lie.
struct ZipLayout {
  std::string bytes;
  std::vector<std::uint64_t> localOffsets;  ///< of each local header, prefix included
  std::vector<std::uint64_t> centralOffsets;
  std::uint64_t endRecord = 0;
};

struct ZipBuilder {
  std::string prefix;  ///< bytes in front of the archive (a stub)
  std::vector<ZipBuilderEntry> entries;
  std::string comment;
  std::string trailer;  ///< bytes after the end record (not covered by the comment length)
  /// Overrides of the end record's fields.
  std::optional<std::uint16_t> thisDisk, centralDisk, entriesOnDisk, totalEntries, commentLength;
  std::optional<std::uint32_t> centralSize, centralOffset;

  ZipBuilderEntry& Add(std::string name, std::string data, std::uint16_t method = 8) {
    entries.push_back({});
    entries.back().name = std::move(name);
    entries.back().data = std::move(data);
    entries.back().method = method;
    return entries.back();
  }
  ZipLayout Layout() const;
  std::string Build() const { return Layout().bytes; }
};

/// Raw deflate (no zlib header) of `data` at the given level.
std::string RawDeflate(const std::string& data, int level = 6);
/// An extra-field block: 2-byte tag, 2-byte size, data.
std::string ExtraBlock(std::uint16_t tag, const std::string& data);
/// An extended-timestamp ("UT") block with the times its flags name.
std::string UtBlock(std::uint8_t flags, const std::vector<std::uint32_t>& times);
/// Pseudo-random bytes that deflate well but not trivially (a skin-like mix).
std::string SampleContent(std::size_t size, std::uint32_t seed = 1);

}  // namespace kestrel::testing
