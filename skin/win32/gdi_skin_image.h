#pragma once
// A skin image on Windows: the GDI bitmap GDI+ made from a PNG with
// background colour 0, a 32-bit bitmap with premultiplied alpha as
// AlphaBlend with AC_SRC_ALPHA expects it.

#include <windows.h>

#include "framework/win32/gdi_objects.h"
#include "skin/skin_image.h"

namespace kestrel {

class GdiSkinImage : public SkinImage {
 public:
  /// Takes ownership of `bitmap`.
  explicit GdiSkinImage(HBITMAP bitmap) : bitmap_(bitmap) {
    BITMAP info{};
    if (bitmap && ::GetObjectW(bitmap, sizeof info, &info) == sizeof info) {
      width_ = info.bmWidth;
      height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    }
  }

  HBITMAP bitmap() const { return bitmap_.get(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  std::vector<std::uint8_t> PremultipliedBgra() const override {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * height_ * 4);
    if (pixels.empty()) return pixels;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width_;
    format.bmiHeader.biHeight = -height_;  // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    int rows = ::GetDIBits(screen, bitmap_.get(), 0, height_, pixels.data(), &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != height_) pixels.clear();
    return pixels;
  }

 private:
  UniqueBitmap bitmap_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace kestrel
