#pragma once
// Bitmaps made in memory and a stand-in for the chooser's skin and
// configuration, for tests that open real windows.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chooser/chooser_sources.h"
#include "framework/win32/gdi_objects.h"

namespace kestrel::testing {

/// Premultiplied 0xAARRGGBB.
using Argb = std::uint32_t;
inline constexpr Argb kOpaqueRed = 0xFFFF0000, kOpaqueGreen = 0xFF00FF00, kOpaqueBlue = 0xFF0000FF;
inline constexpr Argb kOpaqueGrey = 0xFF808080, kOpaqueYellow = 0xFFFFFF00, kOpaqueCyan = 0xFF00FFFF;
inline constexpr Argb kOpaqueWhite = 0xFFFFFFFF, kTransparent = 0x00000000;

/// A 32-bit top-down bitmap with pixel(x, y) at every point.
UniqueBitmap MakeBitmap(int width, int height, const std::function<Argb(int x, int y)>& pixel);
inline UniqueBitmap MakeBitmap(int width, int height, Argb colour) {
  return MakeBitmap(width, height, [colour](int, int) { return colour; });
}
/// A three-slice strip, each slice `sliceHeight` rows of one colour.
UniqueBitmap MakeStrip(int width, int sliceHeight, Argb normal, Argb hover, Argb pressed);
/// The pixel at (x, y) of a 32-bit bitmap, as 0x00RRGGBB.
std::uint32_t RgbAt(HBITMAP bitmap, int x, int y);
/// A COLORREF (0x00BBGGRR) as 0x00RRGGBB.
std::uint32_t RgbOf(COLORREF colour);

/// `bitmap` as a skin image (which takes it over).
SkinImagePtr AsSkinImage(UniqueBitmap bitmap);

/// Skin, configuration and version actions for a chooser under test.
class TestSources : public ChooserSources {
 public:
  bool skinLoads = true;
  bool configLoads = true;
  std::uint32_t failureError = 0;  ///< the last error a failing load leaves
  std::wstring title = L"Pick a version";
  std::vector<VersionEntry> entriesToLoad;

  std::vector<std::wstring> calls;        ///< "skin", "config", "image <name>", "run <caption>"
  std::vector<std::wstring> versionsRun;  ///< the caption of each entry whose action ran

  SkinImagePtr LoadSkinImage(const std::wstring& name) override;
  bool LoadChooserSkin(ChooserSkin& skin) override;
  bool LoadChooserConfig(ChooserConfig& config) override;
  void RunVersionAction(const VersionEntry& entry) override;
};

/// Background 400 x 300 grey with a 10 x 10 yellow top-left frame piece;
/// version face 200 x 120 (slices red, green, blue); system faces 42 x 69
/// (slices cyan, yellow, white).
inline constexpr int kBackgroundWidth = 400, kBackgroundHeight = 300;

}  // namespace kestrel::testing
