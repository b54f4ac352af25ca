#pragma once
// A skin image on Linux: its pixels in one block, row after row without
// padding, each a native-endian 32-bit word 0xAARRGGBB with colour
// premultiplied by alpha.  That is cairo's CAIRO_FORMAT_ARGB32 (the chooser
// window draws the block as it is) and, on this little-endian machine, the
// byte order blue, green, red, alpha of the bitmap GDI+ gives on Windows.
// The launcher decodes images without loading a drawing library: only the
// chooser window, a module of its own, links cairo.

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "skin/skin_image.h"

namespace kestrel {

class PixelSkinImage : public SkinImage {
 public:
  /// An image of `width` x `height` pixels, not yet written; null when the
  /// memory cannot be had.
  static std::unique_ptr<PixelSkinImage> Make(int width, int height) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::shared_ptr<std::uint32_t[]> words(new (std::nothrow) std::uint32_t[count > 0 ? count : 1]);
    if (!words) return nullptr;
    return std::unique_ptr<PixelSkinImage>(new PixelSkinImage(width, height, std::move(words)));
  }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  /// The pixels; the block lives as long as any holder of it.
  const std::shared_ptr<std::uint32_t[]>& words() const { return words_; }
  std::uint32_t* Row(int y) { return words_.get() + static_cast<std::size_t>(y) * width_; }

  std::vector<std::uint8_t> PremultipliedBgra() const override {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * height_ * 4);
    for (std::size_t i = 0; i < pixels.size() / 4; ++i) {
      const std::uint32_t word = words_[i];
      pixels[i * 4 + 0] = static_cast<std::uint8_t>(word);
      pixels[i * 4 + 1] = static_cast<std::uint8_t>(word >> 8);
      pixels[i * 4 + 2] = static_cast<std::uint8_t>(word >> 16);
      pixels[i * 4 + 3] = static_cast<std::uint8_t>(word >> 24);
    }
    return pixels;
  }

 private:
  PixelSkinImage(int width, int height, std::shared_ptr<std::uint32_t[]> words)
      : width_(width), height_(height), words_(std::move(words)) {}

  int width_, height_;
  std::shared_ptr<std::uint32_t[]> words_;
};

}  // namespace kestrel
