#pragma once
// Result codes of the skin archive's ZIP reader.  The values are fixed:
// callers and operators' notes compare against the numbers themselves.

#include <cstdint>

namespace kestrel {

using ZipResult = std::uint32_t;

/// Success; for extraction: the call produced no more bytes and the entry is closed.
inline constexpr ZipResult ResultOk = 0;
/// No entry of that name.
inline constexpr ZipResult ResultNotFound = 0x500;
/// Extraction produced bytes; the entry stays open for a further call.
inline constexpr ZipResult ResultMore = 0x600;
/// The entry's local header disagrees with the central directory.
inline constexpr ZipResult ResultCorrupt = 0x700;
/// The local extra field cannot be read.
inline constexpr ZipResult ResultRead = 0x800;
/// No handle, or an argument outside the archive (an entry index, an empty buffer).
inline constexpr ZipResult ResultArgs = 0x10000;
/// The handle is not an open reader handle.
inline constexpr ZipResult ResultWrongMode = 0x80000;
/// Extraction failed (reading or decompression error, or the entry ended early).
inline constexpr ZipResult ResultInflate = 0x5000000;

/// The code's name ("ResultCorrupt"), or "unknown result".
const char* ZipResultName(ZipResult result);

}  // namespace kestrel
