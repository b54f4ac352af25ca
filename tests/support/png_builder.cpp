#include "tests/support/png_builder.h"

#include <zlib.h>

#include <vector>

namespace kestrel::testing {

namespace {

void PutBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xff);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  PutBigEndian32(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

std::string Header(std::uint32_t width, std::uint32_t height) {
  std::string ihdr;
  PutBigEndian32(ihdr, width);
  PutBigEndian32(ihdr, height);
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, deflate, no filter, no interlace
  std::string out("\x89PNG\r\n\x1a\n", 8);
  PutChunk(out, "IHDR", ihdr);
  return out;
}

}  // namespace

std::string MakePng(int width, int height, const PixelFunction& pixel, int level) {
  std::string raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + static_cast<std::size_t>(width) * 4));
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // filter type None
    for (int x = 0; x < width; ++x) PutBigEndian32(raw, pixel(x, y));
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<Bytef> packed(size);
  compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), level);
  std::string out = Header(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  PutChunk(out, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), size));
  PutChunk(out, "IEND", "");
  return out;
}

std::string MakeSolidPng(int width, int height, std::uint32_t rgba) {
  return MakePng(width, height, [rgba](int, int) { return rgba; });
}

std::string MakePngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::string out = Header(width, height);
  PutChunk(out, "IEND", "");
  return out;
}

}  // namespace kestrel::testing
