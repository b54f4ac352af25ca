#pragma once
// The three ZIP records the skin archive's reader reads, taken from the
// archive's bytes in memory.  Every field is read through a bounds check:
// a record that does not lie wholly inside the bytes is not read at all, so
// a hostile archive can make a lookup fail but never make the reader touch
// memory outside the archive.  Offsets are 64-bit so that an offset plus a
// length taken from the archive can never wrap.

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrel {

using ZipBytes = std::span<const std::uint8_t>;

inline constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint64_t kEndRecordSize = 22;
inline constexpr std::uint64_t kCentralHeaderSize = 46;
inline constexpr std::uint64_t kLocalHeaderSize = 30;

/// The end record is searched for in at most this many bytes at the end.
inline constexpr std::uint64_t kEndRecordSearchSpan = 65535;

/// True when [offset, offset + length) lies inside the bytes.
inline bool ZipHas(ZipBytes bytes, std::uint64_t offset, std::uint64_t length) {
  return offset <= bytes.size() && length <= bytes.size() - offset;
}

/// Little-endian fields; the caller has checked the bounds with ZipHas.
inline std::uint16_t ZipU16(ZipBytes bytes, std::uint64_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}
inline std::uint32_t ZipU32(ZipBytes bytes, std::uint64_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

/// The end of central directory record.
struct ZipEndRecord {
  std::uint64_t position = 0;  ///< where its signature lies
  std::uint16_t thisDisk = 0;
  std::uint16_t centralDisk = 0;
  std::uint16_t entriesOnDisk = 0;
  std::uint16_t totalEntries = 0;
  std::uint32_t centralSize = 0;
  std::uint32_t centralOffset = 0;
  std::uint16_t commentLength = 0;
};

/// One central directory file header; `name` views the archive's bytes.
struct ZipCentralHeader {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;  ///< time in the low 16 bits, date in the high 16
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t extraLength = 0;
  std::uint16_t commentLength = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  std::string_view name;

  /// Bytes from this header to the next one.
  std::uint64_t FullLength() const { return kCentralHeaderSize + name.size() + extraLength + commentLength; }
};

/// The fixed part of a local file header.
struct ZipLocalHeader {
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t extraLength = 0;
};

/// The position of the end record's signature: searched backwards over at
/// most the last 65535 bytes in windows of 1028 bytes, each 1024 bytes
/// further back than the last (the 4-byte overlap finds a signature across
/// a window edge), each scanned from its end.  The match nearest the end
/// wins; a match at position 0 counts as none.  Returns 0 when none.
std::uint64_t FindEndRecord(ZipBytes bytes);

/// Reads the end record whose signature is at `position`; false when it
/// does not lie wholly inside the bytes.
bool ReadEndRecord(ZipBytes bytes, std::uint64_t position, ZipEndRecord& record);

/// Reads the central header at `position`, its name included; false when
/// its signature is wrong or any of it lies beyond the bytes.
bool ReadCentralHeader(ZipBytes bytes, std::uint64_t position, ZipCentralHeader& header);

/// Reads the 30 fixed bytes of the local header at `position`; false when
/// they lie beyond the bytes.  The signature is the caller's to test.
bool ReadLocalHeader(ZipBytes bytes, std::uint64_t position, std::uint32_t& signature, ZipLocalHeader& header);

}  // namespace kestrel
