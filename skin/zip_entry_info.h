#pragma once
// What a lookup in the skin archive tells about an entry, and how its
// attributes and times come from the archive's records.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

/// A lookup's answer for one entry.
struct ZipEntryInfo {
  /// Position in the central directory, from 0; -1 when not found.
  std::int32_t index = -1;
  /// The stored name from the ANSI code page, at most 259 characters.
  std::wstring name;
  /// Windows file-attribute bits.
  std::uint32_t attributes = 0;
  /// File times: 100 ns units since 1601-01-01 UTC.
  std::uint64_t accessTime = 0;
  std::uint64_t creationTime = 0;
  std::uint64_t modificationTime = 0;
  /// From the central header; the uncompressed size is the buffer a caller
  /// gives to extract the whole entry.
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;

  bool operator==(const ZipEntryInfo&) const = default;
};

/// Windows attributes from a central header's external attributes: normal
/// (0x80), or directory + normal (0x90) when bit 30 or bit 4 is set; archive
/// for bit 5, hidden for bit 1, system for bit 2, read-only when bit 23 (the
/// Unix owner-write bit) is clear or bit 0 is set.
std::uint32_t ZipAttributes(std::uint32_t externalAttributes);

/// DosDateTimeToFileTime of a DOS date and time (date in the high 16 bits),
/// taken as they stand, without a time-zone change.  A date or time that
/// names no real moment (month 0, 30 February, 24 o'clock, 60 seconds) is
/// refused, as Windows refuses it, and gives 0.
std::uint64_t ZipDosTimeToFileTime(std::uint32_t dosDateTime);

/// A Unix time (seconds since 1970 UTC, a signed 32-bit value as the
/// extended-timestamp block stores it) as a file time.
std::uint64_t ZipUnixTimeToFileTime(std::int32_t seconds);

/// Fills the three times: all start as the DOS time; then the first "UT"
/// block of the local extra field replaces each time its flags say it
/// holds.  Blocks are walked while more than four bytes remain from a
/// block's start; a time that lies beyond the block or the field is left
/// as it was.
void ZipEntryTimes(std::uint32_t dosDateTime, std::string_view localExtra, ZipEntryInfo& info);

}  // namespace kestrel
