#include "skin/zip_records.h"

#include <algorithm>

namespace kestrel {

namespace {
constexpr std::uint64_t kSearchStep = 1024;
constexpr std::uint64_t kSearchWindow = kSearchStep + 4;
}  // namespace

std::uint64_t FindEndRecord(ZipBytes bytes) {
  const std::uint64_t size = bytes.size();
  const std::uint64_t maxBack = std::min(kEndRecordSearchSpan, size);
  std::uint64_t back = 4;
  while (back < maxBack) {
    back = back + kSearchStep > maxBack ? maxBack : back + kSearchStep;
    const std::uint64_t start = size - back;
    const std::uint64_t length = std::min(kSearchWindow, size - start);
    // Scan the window from its end: the signature nearest the end of the
    // data is the end record (an earlier one may sit inside a comment).
    for (std::uint64_t i = length - 3; i-- > 0;) {
      if (bytes[start + i] == 0x50 && bytes[start + i + 1] == 0x4b && bytes[start + i + 2] == 0x05 &&
          bytes[start + i + 3] == 0x06) {
        if (start + i != 0) return start + i;
      }
    }
  }
  return 0;
}

bool ReadEndRecord(ZipBytes bytes, std::uint64_t position, ZipEndRecord& record) {
  if (!ZipHas(bytes, position, kEndRecordSize)) return false;
  record.position = position;
  record.thisDisk = ZipU16(bytes, position + 4);
  record.centralDisk = ZipU16(bytes, position + 6);
  record.entriesOnDisk = ZipU16(bytes, position + 8);
  record.totalEntries = ZipU16(bytes, position + 10);
  record.centralSize = ZipU32(bytes, position + 12);
  record.centralOffset = ZipU32(bytes, position + 16);
  record.commentLength = ZipU16(bytes, position + 20);
  return true;
}

bool ReadCentralHeader(ZipBytes bytes, std::uint64_t position, ZipCentralHeader& header) {
  if (!ZipHas(bytes, position, kCentralHeaderSize)) return false;
  if (ZipU32(bytes, position) != kCentralHeaderSignature) return false;
  const std::uint16_t nameLength = ZipU16(bytes, position + 28);
  if (!ZipHas(bytes, position + kCentralHeaderSize, nameLength)) return false;
  header.flags = ZipU16(bytes, position + 8);
  header.method = ZipU16(bytes, position + 10);
  header.dosDateTime = ZipU32(bytes, position + 12);
  header.crc = ZipU32(bytes, position + 16);
  header.compressedSize = ZipU32(bytes, position + 20);
  header.uncompressedSize = ZipU32(bytes, position + 24);
  header.extraLength = ZipU16(bytes, position + 30);
  header.commentLength = ZipU16(bytes, position + 32);
  header.externalAttributes = ZipU32(bytes, position + 38);
  header.localHeaderOffset = ZipU32(bytes, position + 42);
  header.name = std::string_view(reinterpret_cast<const char*>(bytes.data() + position + kCentralHeaderSize),
                                 nameLength);
  return true;
}

bool ReadLocalHeader(ZipBytes bytes, std::uint64_t position, std::uint32_t& signature, ZipLocalHeader& header) {
  if (!ZipHas(bytes, position, kLocalHeaderSize)) return false;
  signature = ZipU32(bytes, position);
  header.flags = ZipU16(bytes, position + 6);
  header.method = ZipU16(bytes, position + 8);
  header.dosDateTime = ZipU32(bytes, position + 10);
  header.crc = ZipU32(bytes, position + 14);
  header.compressedSize = ZipU32(bytes, position + 18);
  header.uncompressedSize = ZipU32(bytes, position + 22);
  header.nameLength = ZipU16(bytes, position + 26);
  header.extraLength = ZipU16(bytes, position + 28);
  return true;
}

}  // namespace kestrel
