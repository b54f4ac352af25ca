#pragma once
// A skin image on Linux: a cairo image surface in CAIRO_FORMAT_ARGB32,
// premultiplied alpha in native-endian 32-bit words, which on this
// little-endian machine is the byte order blue, green, red, alpha of the
// bitmap GDI+ gives on Windows.

#include <cairo.h>

#include <cstring>

#include "skin/skin_image.h"

namespace kestrel {

class CairoSkinImage : public SkinImage {
 public:
  /// Takes ownership of `surface` (one reference).
  explicit CairoSkinImage(cairo_surface_t* surface) : surface_(surface) {}
  ~CairoSkinImage() override {
    if (surface_) cairo_surface_destroy(surface_);
  }
  CairoSkinImage(const CairoSkinImage&) = delete;
  CairoSkinImage& operator=(const CairoSkinImage&) = delete;

  cairo_surface_t* surface() const { return surface_; }
  int Width() const override { return surface_ ? cairo_image_surface_get_width(surface_) : 0; }
  int Height() const override { return surface_ ? cairo_image_surface_get_height(surface_) : 0; }

  std::vector<std::uint8_t> PremultipliedBgra() const override {
    const int width = Width();
    const int height = Height();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    if (pixels.empty()) return pixels;
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < height; ++y) {
      const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
      std::uint8_t* out = pixels.data() + static_cast<std::size_t>(y) * width * 4;
      for (int x = 0; x < width; ++x) {
        std::uint32_t word;
        std::memcpy(&word, row + x * 4, 4);
        out[x * 4 + 0] = static_cast<std::uint8_t>(word);
        out[x * 4 + 1] = static_cast<std::uint8_t>(word >> 8);
        out[x * 4 + 2] = static_cast<std::uint8_t>(word >> 16);
        out[x * 4 + 3] = static_cast<std::uint8_t>(word >> 24);
      }
    }
    return pixels;
  }

 private:
  cairo_surface_t* surface_ = nullptr;
};

}  // namespace kestrel
