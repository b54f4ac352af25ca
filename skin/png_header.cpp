#include "skin/png_header.h"

#include "core/log.h"

namespace kestrel {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

}  // namespace

bool ReadPngHeader(std::string_view bytes, PngHeader& header) {
  // Signature, then the header chunk: length 13, type, width, height, five
  // one-byte fields.
  if (bytes.size() < 8 + 8 + 13 || bytes.substr(0, 8) != kSignature) return false;
  if (BigEndian32(bytes, 8) != 13 || bytes.substr(12, 4) != "IHDR") return false;
  header.width = BigEndian32(bytes, 16);
  header.height = BigEndian32(bytes, 20);
  header.bitDepth = static_cast<std::uint8_t>(bytes[24]);
  header.colourType = static_cast<std::uint8_t>(bytes[25]);
  header.interlace = static_cast<std::uint8_t>(bytes[28]);
  return true;
}

bool WithinPixelBudget(const PngHeader& header) {
  if (header.width == 0 || header.height == 0) return false;
  if (header.width > kMaxSkinImageSide || header.height > kMaxSkinImageSide) return false;
  return static_cast<std::uint64_t>(header.width) * header.height <= kMaxSkinImagePixels;
}

bool AdmitSkinImage(Platform& os, const std::wstring& name, std::string_view head) {
  PngHeader header;
  if (!ReadPngHeader(head, header)) return false;
  if (WithinPixelBudget(header)) return true;
  LogMessage(os, L"MSG: Skin image over the pixel budget, name=%s, size=%ux%u",
             {name, header.width, header.height});
  return false;
}

}  // namespace kestrel
