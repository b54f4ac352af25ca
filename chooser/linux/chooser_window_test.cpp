// The Linux chooser window on a real (virtual) display: it opens with the
// picture the rendering makes, follows the pointer (hover slice, hand
// cursor), runs a version on a click and ends with its modal result; Esc
// and the window manager's close cancel.  xdotool drives it from a second
// thread while the window's own loop runs; ImageMagick's import takes the
// screenshots.

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "chooser/chooser_ids.h"
#include "chooser/linux/chooser_module.h"
#include "chooser/linux/chooser_view.h"
#include "chooser/linux/round_corners.h"
#include "platform/fake/fake_platform.h"
#include "skin/linux/pixel_skin_image.h"
#include "skin/skin_image_names.h"

namespace kestrel {
namespace {

using Argb = std::uint32_t;

SkinImagePtr MakeImage(int width, int height, const std::function<Argb(int x, int y)>& pixel) {
  auto image = PixelSkinImage::Make(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->Row(y)[x] = pixel(x, y);
  return image;
}

/// A skin with gradients, alpha and a label on each version button.
class Sources : public ChooserSources {
 public:
  std::vector<std::wstring> versionsRun;
  SkinImagePtr LoadSkinImage(const std::wstring& name) override {
    if (name == kButtonImageName)
      return MakeImage(200, 120, [](int x, int y) -> Argb {
        const Argb alpha = x < 20 ? 0x40 : 0xFF;
        const Argb c = y < 40 ? 0xC04020 : y < 80 ? 0x20C040 : 0x2040C0;
        const Argb r = ((c >> 16) & 0xFF) * alpha / 255, g = ((c >> 8) & 0xFF) * alpha / 255, b = (c & 0xFF) * alpha / 255;
        return alpha << 24 | r << 16 | g << 8 | b;
      });
    return MakeImage(42, 69, [](int x, int y) -> Argb { return 0xFF000000 | (y / 23 * 100) << 8 | x * 5; });
  }
  bool LoadChooserSkin(ChooserSkin& skin) override {
    skin.backgroundImage = MakeImage(400, 300, [](int x, int y) -> Argb { return 0xFF000000 | (x * 255 / 400) << 16 | (y * 255 / 300); });
    skin.buttonImage = LoadSkinImage(kButtonImageName);
    for (int k = 0; k < 8; ++k) skin.frameImages[k] = MakeImage(6, 6, [k](int, int) -> Argb { return 0xFF101010u * (k + 1); });
    return true;
  }
  bool LoadChooserConfig(ChooserConfig& config) override {
    config.title = L"选择版本";
    config.entries.push_back(std::make_unique<VersionEntry>(VersionEntry{L"Stay", L"", L"", L"1", kKeepOpen}));
    config.entries.push_back(std::make_unique<VersionEntry>(VersionEntry{L"Go", L"", L"", L"2", kCloseAfterRun}));
    return true;
  }
  void RunVersionAction(const VersionEntry& entry) override { versionsRun.push_back(entry.caption); }
};

KestrelRunChooserWindowFn Module() {
  static KestrelRunChooserWindowFn run = [] {
    const std::string path = std::filesystem::canonical("/proc/self/exe").parent_path() / kKestrelChooserModuleName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? reinterpret_cast<KestrelRunChooserWindowFn>(dlsym(handle, kKestrelRunChooserWindowSymbol))
                  : nullptr;
  }();
  return run;
}

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }
void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

CairoSurface Screenshot(unsigned long window) {
  const std::string file = "/tmp/kestrel-chooser-window-" + std::to_string(getpid()) + ".png";
  Shell("import -window " + std::to_string(window) + " " + file);
  CairoSurface shot(cairo_image_surface_create_from_png(file.c_str()));
  std::remove(file.c_str());
  return shot;
}

Argb Pixel(cairo_surface_t* s, int x, int y) {
  cairo_surface_flush(s);
  return reinterpret_cast<const Argb*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x] &
         0xFFFFFF;
}

/// Pixels inside the window's shape that differ, outside the label bands
/// of the version buttons.
int Differences(cairo_surface_t* shot, cairo_surface_t* expected, const ChooserView& view) {
  int differences = 0;
  for (int y = 0; y < view.client.height; ++y)
    for (int x = 0; x < view.client.width; ++x) {
      if (!InsideRoundCorners(x, y, view.client.width, view.client.height)) continue;
      bool inBand = false;
      for (const ChooserButton& b : view.buttons) {
        const LabelBand band = LabelBandFor(b.rect.x, b.rect.y, b.rect.width, b.rect.height);
        const int top = b.rect.y + (b.rect.height / 2 - 5);
        inBand |= !b.label.empty() && x >= band.left && x < band.right && y >= top && y < top + 12;
      }
      if (!inBand && Pixel(shot, x, y) != Pixel(expected, x, y)) ++differences;
    }
  return differences;
}

TEST(ChooserWindow, OpensAsRenderedFollowsThePointerAndEndsWithTheVersionsResult) {
  ASSERT_NE(Module(), nullptr) << dlerror();
  FakePlatform os;
  Sources sources;
  ChooserView expected;
  {
    Sources forView;
    ASSERT_TRUE(expected.Create(os, forView));
    expected.ComposeBackground();
  }
  int openDifferences = -1, hoverDifferences = -1;
  Argb hoverPixel = 0;
  std::thread driver;
  ChooserWindowHooks hooks;
  hooks.firstPresent = [&](unsigned long window) {
    driver = std::thread([&, window] {
      // The window opens in the middle of the screen, where the pointer
      // starts: first onto the background, away from every button.
      Shell("xdotool mousemove --window " + std::to_string(window) + " 20 280");
      Pause();
      CairoSurface shot = Screenshot(window);
      CairoSurface frame = expected.RenderFrame();
      openDifferences = Differences(shot.get(), frame.get(), expected);
      if (openDifferences) {
        cairo_surface_write_to_png(shot.get(), "/tmp/kestrel-chooser-open-shot.png");
        cairo_surface_write_to_png(frame.get(), "/tmp/kestrel-chooser-open-expected.png");
      }
      // Onto the second version button (100, 150, 200 x 40): hover slice.
      Shell("xdotool mousemove --window " + std::to_string(window) + " 150 170");
      Pause();
      shot = Screenshot(window);
      hoverPixel = Pixel(shot.get(), 150, 152);
      expected.buttons[4].state.mouseState = kMouseHover;
      frame = expected.RenderFrame();
      hoverDifferences = Differences(shot.get(), frame.get(), expected);
      // The first button keeps the window open; the second closes it.
      Shell("xdotool mousemove --window " + std::to_string(window) + " 150 120 click 1");
      Pause();
      Shell("xdotool mousemove --window " + std::to_string(window) + " 150 170 click 1");
    });
  };
  const int result = Module()(&os, &sources, &hooks);
  if (driver.joinable()) driver.join();
  EXPECT_EQ(result, kModalOk);
  EXPECT_EQ(openDifferences, 0);
  EXPECT_EQ(hoverDifferences, 0);
  EXPECT_EQ(hoverPixel, 0x20C040u) << "hover slice of the second button";
  EXPECT_EQ(sources.versionsRun, (std::vector<std::wstring>{L"Stay", L"Go"}));
}

TEST(ChooserWindow, EscapeCancelsWithoutRunningAnything) {
  ASSERT_NE(Module(), nullptr);
  FakePlatform os;
  Sources sources;
  std::thread driver;
  ChooserWindowHooks hooks;
  hooks.firstPresent = [&](unsigned long window) {
    driver = std::thread([window] {
      Pause();
      Shell("xdotool windowfocus --sync " + std::to_string(window) + " key Escape");
    });
  };
  EXPECT_EQ(Module()(&os, &sources, &hooks), kModalCancel);
  if (driver.joinable()) driver.join();
  EXPECT_TRUE(sources.versionsRun.empty());
}

}  // namespace
}  // namespace kestrel
