#pragma once
// A decoded skin image: what the chooser window draws with.  Each build
// holds the pixels in its own drawing library's form (a GDI bitmap made by
// GDI+ on Windows, a cairo image surface on Linux), both 32 bits a pixel
// with premultiplied alpha, so that a transparent pixel is transparent
// black and per-pixel alpha blending composes it the same way.  Whoever
// receives one owns it.

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrel {

class SkinImage {
 public:
  virtual ~SkinImage() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  /// The pixels, top row first, four bytes a pixel in the order blue,
  /// green, red, alpha, colour premultiplied by alpha.
  virtual std::vector<std::uint8_t> PremultipliedBgra() const = 0;
};

using SkinImagePtr = std::unique_ptr<SkinImage>;

}  // namespace kestrel
