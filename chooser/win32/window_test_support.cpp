#include "chooser/win32/window_test_support.h"

#include <memory>

#include "skin/skin_image_names.h"
#include "skin/win32/gdi_skin_image.h"

namespace kestrel::testing {

UniqueBitmap MakeBitmap(int width, int height, const std::function<Argb(int x, int y)>& pixel) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return {};
  auto* row = static_cast<Argb*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) row[y * width + x] = pixel(x, y);
  ::GdiFlush();
  return UniqueBitmap(bitmap);
}

UniqueBitmap MakeStrip(int width, int sliceHeight, Argb normal, Argb hover, Argb pressed) {
  return MakeBitmap(width, sliceHeight * 3, [=](int, int y) {
    const int slice = y / sliceHeight;
    return slice == 0 ? normal : slice == 1 ? hover : pressed;
  });
}

std::uint32_t RgbAt(HBITMAP bitmap, int x, int y) {
  ::GdiFlush();
  DIBSECTION section{};
  if (::GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits) {
    // Not a DIB: read it through a memory surface.
    MemorySurface surface(static_cast<HDC>(nullptr));
    HGDIOBJ previous = ::SelectObject(surface.dc(), bitmap);
    const std::uint32_t rgb = RgbOf(::GetPixel(surface.dc(), x, y));
    ::SelectObject(surface.dc(), previous);
    return rgb;
  }
  const auto* bits = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
  const int stride = section.dsBm.bmWidthBytes;
  const int row = section.dsBmih.biHeight < 0 ? y : section.dsBm.bmHeight - 1 - y;
  const auto* pixel = reinterpret_cast<const std::uint32_t*>(bits + row * stride) + x;
  return *pixel & 0x00FFFFFF;
}

std::uint32_t RgbOf(COLORREF colour) {
  return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

SkinImagePtr AsSkinImage(UniqueBitmap bitmap) {
  if (!bitmap) return {};
  return std::make_unique<GdiSkinImage>(bitmap.release());
}

SkinImagePtr TestSources::LoadSkinImage(const std::wstring& name) {
  calls.push_back(L"image " + name);
  if (name == kButtonImageName) return AsSkinImage(MakeStrip(200, 40, kOpaqueRed, kOpaqueGreen, kOpaqueBlue));
  if (name == kMinimizeImageName || name == kMaximizeImageName || name == kCloseImageName)
    return AsSkinImage(MakeStrip(42, 23, kOpaqueCyan, kOpaqueYellow, kOpaqueWhite));
  return {};
}

bool TestSources::LoadChooserSkin(ChooserSkin& skin) {
  calls.push_back(L"skin");
  if (!skinLoads) {
    ::SetLastError(failureError);
    return false;
  }
  skin.backgroundImage = AsSkinImage(MakeBitmap(kBackgroundWidth, kBackgroundHeight, kOpaqueGrey));
  skin.buttonImage = AsSkinImage(MakeStrip(200, 40, kOpaqueRed, kOpaqueGreen, kOpaqueBlue));
  skin.frameImages[0] = AsSkinImage(MakeBitmap(10, 10, kOpaqueYellow));
  return true;
}

bool TestSources::LoadChooserConfig(ChooserConfig& config) {
  calls.push_back(L"config");
  if (!configLoads) {
    ::SetLastError(failureError);
    return false;
  }
  config.title = title;
  for (const VersionEntry& entry : entriesToLoad) config.entries.push_back(std::make_unique<VersionEntry>(entry));
  return true;
}

void TestSources::RunVersionAction(const VersionEntry& entry) {
  calls.push_back(L"run " + entry.caption);
  versionsRun.push_back(entry.caption);
}

}  // namespace kestrel::testing
