// The Linux chooser's rendering, from images made in the test: the frame
// squeeze, absent pieces, slices blended over the captured background,
// labels kept to their band, and the buttons' stacking order.

#include "chooser/linux/chooser_view.h"

#include <gtest/gtest.h>

#include <functional>

#include "chooser/chooser_ids.h"
#include "platform/fake/fake_platform.h"
#include "skin/linux/pixel_skin_image.h"
#include "skin/skin_image_names.h"

namespace kestrel {
namespace {

using Argb = std::uint32_t;  // premultiplied 0xAARRGGBB

SkinImagePtr MakeImage(int width, int height, const std::function<Argb(int x, int y)>& pixel) {
  auto image = PixelSkinImage::Make(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->Row(y)[x] = pixel(x, y);
  return image;
}
SkinImagePtr Solid(int width, int height, Argb colour) {
  return MakeImage(width, height, [colour](int, int) { return colour; });
}

class Sources : public ChooserSources {
 public:
  int frameWidth = 10;
  std::vector<std::wstring> captions = {L"One", L""};
  SkinImagePtr LoadSkinImage(const std::wstring& name) override {
    if (name == kButtonImageName)  // left half transparent; slices red, green, blue
      return MakeImage(200, 120, [](int x, int y) -> Argb {
        if (x < 100) return 0;
        return y < 40 ? 0xFFFF0000 : y < 80 ? 0xFF00FF00 : 0xFF0000FF;
      });
    if (name == kCloseImageName) return Solid(42, 69, 0x80000080);  // half-transparent blue
    return {};  // minimize and maximize: no image
  }
  bool LoadChooserSkin(ChooserSkin& skin) override {
    skin.backgroundImage = Solid(400, 300, 0xFF808080);
    skin.buttonImage = Solid(200, 120, 0xFFFFFFFF);
    skin.frameImages[0] = Solid(frameWidth, 10, 0xFFFFFF00);  // top-left
    // Right edge: left column yellow, the rest cyan; drawn one pixel narrow.
    skin.frameImages[4] = MakeImage(4, 10, [](int x, int) { return x == 0 ? 0xFFFFFF00 : 0xFF00FFFF; });
    return true;
  }
  bool LoadChooserConfig(ChooserConfig& config) override {
    config.title = L"Pick";
    for (const std::wstring& caption : captions)
      config.entries.push_back(std::make_unique<VersionEntry>(VersionEntry{caption, L"", L"", L"", kCloseAfterRun}));
    return true;
  }
  void RunVersionAction(const VersionEntry&) override {}
};

Argb Pixel(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  return reinterpret_cast<const Argb*>(data + y * cairo_image_surface_get_stride(surface))[x] & 0xFFFFFF;
}

class ChooserViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view_.Create(os_, sources_));
    view_.ComposeBackground();
  }
  FakePlatform os_;
  Sources sources_;
  ChooserView view_;
};

TEST_F(ChooserViewTest, TheBackgroundAndFramePiecesAreComposedAsTheWin32WindowDoes) {
  EXPECT_EQ(view_.client, (Size{400, 300}));
  EXPECT_EQ(view_.title, L"Pick");
  CairoSurface frame = view_.RenderFrame();
  EXPECT_EQ(Pixel(frame.get(), 5, 5), 0xFFFF00u) << "top-left piece";
  EXPECT_EQ(Pixel(frame.get(), 200, 290), 0x808080u) << "background";
  // The right edge is drawn 3 pixels wide from x 396, its image squeezed
  // (nearest pixel): the window's last column keeps the background.
  EXPECT_EQ(Pixel(frame.get(), 396, 150), 0xFFFF00u);
  EXPECT_EQ(Pixel(frame.get(), 398, 150), 0x00FFFFu);
  EXPECT_EQ(Pixel(frame.get(), 399, 150), 0x808080u);
}

TEST_F(ChooserViewTest, ButtonsShowTheirSliceOverTheBackgroundWithLabelsInTheirBand) {
  ASSERT_EQ(view_.buttons.size(), 5u);
  const ChooserButton& first = view_.buttons[3];
  EXPECT_EQ(first.id, kFirstVersionButtonId);
  EXPECT_EQ(first.rect, (Placement{100, 100, 200, 40}));
  CairoSurface frame = view_.RenderFrame();
  EXPECT_EQ(Pixel(frame.get(), 150, 101), 0x808080u) << "transparent half shows the background";
  EXPECT_EQ(Pixel(frame.get(), 290, 101), 0xFF0000u) << "normal slice";
  // Close: half-transparent blue over grey.
  const Argb close = Pixel(frame.get(), 390, 10);
  EXPECT_NEAR(static_cast<int>(close & 0xFF), 0x80 + 0x80 * 0x7F / 0xFF, 2);
  EXPECT_NEAR(static_cast<int>((close >> 16) & 0xFF), 0x80 * 0x7F / 0xFF, 2);
  // Minimize has no image: nothing is drawn over the background.
  EXPECT_EQ(Pixel(frame.get(), 300, 10), 0x808080u);

  view_.buttons[3].state.mouseState = kMouseHover;
  view_.buttons[4].state.mouseState = kMousePressed;
  frame = view_.RenderFrame();
  EXPECT_EQ(Pixel(frame.get(), 290, 101), 0x00FF00u) << "hover slice";
  EXPECT_EQ(Pixel(frame.get(), 290, 151), 0x0000FFu) << "pressed slice";

  // The label: ink (black) only in rows 15 to 26 of the button.
  int inBand = 0, outside = 0;
  for (int y = 100; y < 140; ++y)
    for (int x = 100; x < 300; ++x) {
      const Argb p = Pixel(frame.get(), x, y);
      if (p != 0x00FF00u && p != 0x808080u) (y >= 115 && y < 127 ? inBand : outside)++;
    }
  EXPECT_GT(inBand, 0);
  EXPECT_EQ(outside, 0);
}

TEST_F(ChooserViewTest, TheLaterButtonIsOnTopWhereTheyOverlap) {
  view_.buttons[4].rect = view_.buttons[2].rect;  // a version button over the close button
  EXPECT_EQ(view_.ButtonAt(view_.buttons[2].rect.x + 30, 5), &view_.buttons[4]);
  EXPECT_EQ(view_.ButtonAt(0, 0), nullptr);
}

}  // namespace
}  // namespace kestrel
