#pragma once
// The first thing read of a skin image: its PNG signature and header chunk,
// which state the picture's size before a single pixel is decoded.  A file
// of a kilobyte can claim gigabytes of pixels, so both builds refuse an
// image over the pixel budget before handing it to their decoder.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

class Platform;

/// No side of a skin image may be longer than this, in pixels.
inline constexpr std::uint32_t kMaxSkinImageSide = 8192;
/// Nor may an image hold more pixels than this.
inline constexpr std::uint64_t kMaxSkinImagePixels = 16'000'000;

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t bitDepth = 0;
  std::uint8_t colourType = 0;
  std::uint8_t interlace = 0;
};

/// Reads the signature and the header chunk (IHDR, 13 bytes, first) from the
/// start of `bytes`; false when they do not begin as a PNG does.  The
/// chunk's CRC is left to the decoder.
bool ReadPngHeader(std::string_view bytes, PngHeader& header);

/// True when the image's claimed size is within the budget (a side of 0 is
/// not: no decoder makes an image of it).
bool WithinPixelBudget(const PngHeader& header);

/// The rule both builds apply before decoding the skin image `name` whose
/// first bytes are `head`: only a PNG within the pixel budget is decoded.
/// An image over the budget is logged with its name and claimed size.
bool AdmitSkinImage(Platform& os, const std::wstring& name, std::string_view head);

}  // namespace kestrel
