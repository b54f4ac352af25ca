// The image button's drawing: the slice of its state, blended over the
// captured background or copied opaque before there is one, and its label
// kept to the band across the middle.

#include "chooser/win32/button_ex2.h"

#include <gtest/gtest.h>

#include "chooser/win32/window_test_support.h"

namespace kestrel {
namespace {

using namespace kestrel::testing;

/// A strip 4 pixels wide with slices 2 rows high: the left two columns are
/// fully transparent, the right two opaque red, green or blue.
UniqueBitmap HalfTransparentStrip() {
  return MakeBitmap(4, 6, [](int x, int y) {
    if (x < 2) return kTransparent;
    return y < 2 ? kOpaqueRed : y < 4 ? kOpaqueGreen : kOpaqueBlue;
  });
}

/// Draws `button` through its owner-draw entry onto a white 4 x 2 surface
/// and returns the surface's bitmap.
UniqueBitmap DrawOnto(CButtonEx2& button) {
  MemorySurface target(static_cast<HDC>(nullptr));
  UniqueBitmap canvas = MakeBitmap(4, 2, kOpaqueWhite);
  HGDIOBJ previous = ::SelectObject(target.dc(), canvas.get());
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.hDC = target.dc();
  item.rcItem = RECT{0, 0, 4, 2};
  button.DrawItem(&item);
  ::SelectObject(target.dc(), previous);
  return canvas;
}

TEST(ButtonEx2Drawing, ShowsTheSliceOfItsStateOverTheCapturedBackground) {
  struct Case {
    const char* name;
    bool withImage;
    bool captured;
    std::int32_t mouseState;
    std::uint32_t transparentColumn, opaqueColumn;
  };
  const Case cases[] = {
      {"no background yet: the slice is copied opaque", true, false, kMouseNormal, 0x000000, 0xFF0000},
      {"captured: the background shows through", true, true, kMouseNormal, 0x00FFFF, 0xFF0000},
      {"hover slice", true, true, kMouseHover, 0x00FFFF, 0x00FF00},
      {"pressed slice", true, true, kMousePressed, 0x00FFFF, 0x0000FF},
      {"pressed, opaque", true, false, kMousePressed, 0x000000, 0x0000FF},
      {"no image: nothing is drawn", false, true, kMouseHover, 0xFFFFFF, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    CButtonEx2 button;
    if (c.withImage) button.SetImageBitmap(HalfTransparentStrip());
    if (c.captured) {
      button.backgroundSurface.Select(MakeBitmap(4, 2, kOpaqueCyan));
      button.state.backgroundCaptured = true;
    }
    button.state.mouseState = c.mouseState;
    UniqueBitmap drawn = DrawOnto(button);
    for (int y = 0; y < 2; ++y) {
      EXPECT_EQ(RgbAt(drawn.get(), 0, y), c.transparentColumn) << c.name << ", row " << y;
      EXPECT_EQ(RgbAt(drawn.get(), 3, y), c.opaqueColumn) << c.name << ", row " << y;
    }
  }
}

TEST(ButtonEx2Drawing, AnImageSizesTheButtonToOneSliceAndAFailedLoadKeepsItEmpty) {
  CButtonEx2 button;
  button.SetImageBitmap(MakeBitmap(90, 100, kOpaqueRed));
  EXPECT_EQ(button.state.sliceWidth, 90);
  EXPECT_EQ(button.state.sliceHeight, 33);
  EXPECT_TRUE(button.imageSurface);

  TestSources sources;
  CButtonEx2 missing;
  missing.imageLoader = &sources;
  missing.SetImage(L"Skin/none.png");
  EXPECT_FALSE(missing.imageSurface);
  EXPECT_EQ(missing.state.sliceHeight, 0);
  EXPECT_EQ(sources.calls, std::vector<std::wstring>{L"image Skin/none.png"});
}

/// A plain top-level window to hold buttons.
class ParentWindow : public CWnd {
 public:
  ParentWindow() {
    const RECT rect{0, 0, 300, 100};
    CreateEx(0, L"STATIC", L"", WS_POPUP, rect, nullptr, 0);
  }
};

TEST(ButtonEx2Drawing, TheLabelStaysInItsTwelvePixelBand) {
  ParentWindow parent;
  ASSERT_NE(parent.GetSafeHwnd(), nullptr);
  CButtonEx2 button;
  const RECT empty{0, 0, 0, 0};
  ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE, empty, &parent, 4099));
  EXPECT_EQ(::GetWindowLongPtrW(button.GetSafeHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  button.SetImageBitmap(MakeBitmap(200, 120, kOpaqueWhite));
  RECT size{};
  ::GetWindowRect(button.GetSafeHwnd(), &size);
  EXPECT_EQ(size.right - size.left, 200);
  EXPECT_EQ(size.bottom - size.top, 40);
  // Two lines' worth: only the first fits the band.
  ::SetWindowTextW(button.GetSafeHwnd(), L"WWWWWWWWWWWW WWWWWWWWWWWW WWWWWWWWWWWW WWWWWWWWWWWW");

  MemorySurface target(static_cast<HDC>(nullptr));
  UniqueBitmap canvas = MakeBitmap(200, 40, kOpaqueWhite);
  HGDIOBJ previous = ::SelectObject(target.dc(), canvas.get());
  button.DrawState(target.dc(), 0, 0, 0, 200, 40);
  ::SelectObject(target.dc(), previous);

  int inkInBand = 0, inkOutside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x)
      if (RgbAt(canvas.get(), x, y) != 0xFFFFFF) (y >= 15 && y < 27 ? inkInBand : inkOutside)++;
  EXPECT_GT(inkInBand, 0) << "the label was not drawn";
  EXPECT_EQ(inkOutside, 0) << "the label left its band";
}

}  // namespace
}  // namespace kestrel
