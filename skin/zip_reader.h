#pragma once
// The skin archive's ZIP reader: opens an archive held in memory, finds an
// entry by its full stored name and extracts it, in calls of any capacity.
// It only reads; the bytes are never copied and must outlive the handle.
//
// Names are compared as the archive stores them: the wide name asked for
// is converted to the machine's ANSI code page and must equal the stored
// bytes exactly (case, "/" and all), because the skins are made on
// machines whose ANSI code page encodes their Chinese names.
//
// Handles are numbers, never reused: a handle that was closed or never
// opened is refused with ResultWrongMode instead of touching freed state.
// Only one thread uses the reader (the chooser's), so there is no locking.

#include <cstdint>
#include <string>
#include <vector>

#include "skin/zip_entry_info.h"
#include "skin/zip_result.h"

namespace kestrel {

class Platform;

/// An open reader, or kNoArchive.
using ArchiveHandle = std::uintptr_t;
inline constexpr ArchiveHandle kNoArchive = 0;

/// Why an open failed, for operators' tools.
enum class ZipOpenFailure {
  kNone,
  kNoEndRecord,       ///< not a ZIP: no end record in the last 65535 bytes
  kEndRecordCut,      ///< the end record runs past the end of the data
  kSplitArchive,      ///< disk numbers or entry counts of a split archive
  kDirectoryPastEnd,  ///< the central directory does not end before the end record
};
const char* ZipOpenFailureText(ZipOpenFailure failure);

/// Opens the archive in `bytes`.  `platform` converts names and must outlive
/// the handle.  Returns kNoArchive when the data is not a readable archive.
/// An archive whose first central header is bad still opens; it simply
/// has no entries to find.
ArchiveHandle OpenArchive(Platform& platform, const std::uint8_t* bytes, std::uint32_t length,
                          ZipOpenFailure* failure = nullptr);

/// Finds the first entry whose stored name equals `name` in the ANSI code
/// page, byte for byte.  Closes any entry open for extraction on a match.
/// ResultOk, ResultNotFound (index -1), ResultCorrupt, ResultRead,
/// ResultArgs or ResultWrongMode.  `index` and `info` may be null.
ZipResult FindArchiveItem(ArchiveHandle handle, const std::wstring& name, int* index, ZipEntryInfo* info);

/// Writes up to `capacity` bytes of entry `index` to `destination`,
/// continuing where the last call on the same index stopped.  ResultMore
/// when the call produced bytes (the entry stays open), ResultOk when
/// nothing was left (the entry is closed), ResultInflate when the entry
/// cannot be opened, fails to decompress or ends before its stated size,
/// ResultArgs for an index outside the archive or an empty buffer,
/// ResultWrongMode for a handle that is not open.  `produced`, when given,
/// receives the bytes this call wrote (a call may write less than its
/// capacity only at the entry's end or when the entry breaks off).
ZipResult UnzipArchiveItem(ArchiveHandle handle, int index, void* destination, std::uint32_t capacity,
                           std::uint32_t* produced = nullptr);

/// Closes an entry still open and frees the reader.
ZipResult CloseArchive(ArchiveHandle handle);

/// One central directory entry as stored, for operators' tools (the
/// launcher itself never lists an archive).
struct ZipListedItem {
  int index = 0;
  std::string storedName;  ///< the name's bytes as stored
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t localHeaderOffset = 0;
};

struct ZipListing {
  std::uint32_t totalEntries = 0;  ///< as the end record says
  std::uint64_t prefixLength = 0;  ///< bytes in front of the archive
  /// The entries the central directory walk reaches, in order; fewer than
  /// totalEntries when a header is bad.
  std::vector<ZipListedItem> items;
};

/// Walks the whole central directory as lookups do.  Leaves the reader's
/// position and any open entry as they were.
ZipResult ListArchiveItems(ArchiveHandle handle, ZipListing& listing);

}  // namespace kestrel
