#pragma once
// Builds PNG files for tests and benchmarks: sound 8-bit RGBA images of any
// content, and bare headers that claim a size without pixels behind it.

#include <cstdint>
#include <functional>
#include <string>

namespace kestrel::testing {

/// The colour of the pixel at (x, y): red, green, blue, alpha, unpremultiplied.
using PixelFunction = std::function<std::uint32_t(int x, int y)>;
inline constexpr std::uint32_t Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  return static_cast<std::uint32_t>(r) << 24 | static_cast<std::uint32_t>(g) << 16 |
         static_cast<std::uint32_t>(b) << 8 | a;
}

/// A complete 8-bit RGBA PNG, deflated at `level`.
std::string MakePng(int width, int height, const PixelFunction& pixel, int level = 6);
/// A PNG of one colour.
std::string MakeSolidPng(int width, int height, std::uint32_t rgba);
/// The signature, a header chunk claiming `width` x `height` and an end
/// chunk, with no image data: what a hostile file that lies about its size
/// looks like.
std::string MakePngHeaderOnly(std::uint32_t width, std::uint32_t height);

}  // namespace kestrel::testing
