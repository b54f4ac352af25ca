#include "platform/linux/active_desktop.h"

#include <gtest/gtest.h>

#include "app/wallpaper.h"
#include "platform/linux/linux_test_support.h"
#include "text/utf.h"

namespace kestrel {
namespace {

class ActiveDesktopTest : public testing::LinuxMachineTest {
 protected:
  std::wstring Desktop(const std::wstring& name) {
    std::wstring text = L"(missing)";
    os_->registry().Read(RegRoot::kCurrentUser, [&](const RegistryStore::KeyLookup& find) {
      const RegistryKey* key = find(L"Control Panel\\Desktop");
      if (const RegistryValue* v = key ? key->FindValue(name) : nullptr) {
        EXPECT_EQ(v->type, win::kRegSz);
        text = Utf16LeToWide(std::string(v->data.begin(), v->data.end())).c_str();
      }
    });
    return text;
  }
};

TEST_F(ActiveDesktopTest, WritesWhatWindowsWritesForEachStyle) {
  struct Case {
    int style;
    const wchar_t* wallpaperStyle;
    const wchar_t* tile;
  };
  const Case cases[] = {{0, L"0", L"0"}, {1, L"0", L"1"}, {2, L"2", L"0"},
                        {3, L"6", L"0"}, {4, L"10", L"0"}, {5, L"22", L"0"}};
  for (const Case& c : cases) {
    std::wstring file = L"D:\\Pics\\背景 " + std::to_wstring(c.style) + L".bmp";
    ASSERT_TRUE(ApplyWallpaper(*os_, file, c.style)) << c.style;
    EXPECT_EQ(Desktop(L"Wallpaper"), file);
    EXPECT_EQ(Desktop(L"WallpaperStyle"), c.wallpaperStyle) << c.style;
    EXPECT_EQ(Desktop(L"TileWallpaper"), c.tile) << c.style;
  }
  // A style Windows does not have fails at the options step: nothing changes.
  for (int style : {-1, 6, 100}) {
    EXPECT_FALSE(ApplyWallpaper(*os_, L"D:\\other.bmp", style)) << style;
    EXPECT_EQ(Desktop(L"Wallpaper"), L"D:\\Pics\\背景 5.bmp");
  }
}

TEST_F(ActiveDesktopTest, ShowsThePictureOnARunningDesktop) {
  MakeDir("bin");
  MakeDir("Pics");
  Write("Pics/a b.png", "png");
  // A gsettings that records each call; without a session bus it is not asked.
  Write("bin/gsettings", "#!/bin/sh\nfor a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done >> '" + Path("calls.txt") +
                             "'\n",
        0755);
  env_.Set("PATH", Path("bin") + ":/usr/bin:/bin");
  env_.Set("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  ASSERT_TRUE(ApplyWallpaper(*os_, Win("Pics/a b.png"), 2));
  EXPECT_EQ(Read(Path("calls.txt")), "");

  env_.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  ASSERT_TRUE(ApplyWallpaper(*os_, Win("Pics/a b.png"), 1));
  std::string uri = "file://" + Path("Pics/a%20b.png");
  EXPECT_EQ(Read(Path("calls.txt")),
            "arg=set\narg=org.gnome.desktop.background\narg=picture-uri\narg=" + uri + "\n"
            "arg=set\narg=org.gnome.desktop.background\narg=picture-uri-dark\narg=" + uri + "\n"
            "arg=set\narg=org.gnome.desktop.background\narg=picture-options\narg=wallpaper\n");

  // A desktop that refuses the picture does not undo the saved values.
  Write("bin/gsettings", "#!/bin/sh\nexit 1\n", 0755);
  EXPECT_TRUE(ApplyWallpaper(*os_, Win("Pics/a b.png"), 0));
  EXPECT_EQ(Desktop(L"WallpaperStyle"), L"0");
}

}  // namespace
}  // namespace kestrel
