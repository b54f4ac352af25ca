#include "chooser/win32/skin_bitmap.h"

#include <cstring>

namespace kestrel {

UniqueBitmap SkinBitmap(const SkinImagePtr& image) {
  if (!image || image->Width() <= 0 || image->Height() <= 0) return {};
  const std::vector<std::uint8_t> pixels = image->PremultipliedBgra();
  const std::size_t bytes = static_cast<std::size_t>(image->Width()) * image->Height() * 4;
  if (pixels.size() != bytes) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image->Width();
  info.bmiHeader.biHeight = -image->Height();  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return {};
  std::memcpy(bits, pixels.data(), bytes);
  ::GdiFlush();
  return UniqueBitmap(bitmap);
}

}  // namespace kestrel
