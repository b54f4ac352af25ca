// The fake's display, message boxes, chooser window and active desktop.

#include "platform/fake/fake_platform.h"

#include "platform/model/display_mode_change.h"

namespace kestrel {

namespace {

class FakeActiveDesktop : public ActiveDesktop {
 public:
  explicit FakeActiveDesktop(FakePlatform& fake) : fake_(fake) {}
  bool SetWallpaper(const std::wstring& file) override { return Step(L"SetWallpaper", file); }
  bool SetWallpaperOptions(int style) override { return Step(L"SetWallpaperOptions", std::to_wstring(style)); }
  bool ApplyChanges(std::uint32_t flags) override { return Step(L"ApplyChanges", std::to_wstring(flags)); }
  ~FakeActiveDesktop() override { fake_.Record(L"ActiveDesktop.Release"); }

 private:
  bool Step(const std::wstring& name, const std::wstring& arg) {
    fake_.Record(L"ActiveDesktop." + name, {arg});
    return fake_.failingDesktopStep != name;
  }
  FakePlatform& fake_;
};

}  // namespace

bool FakePlatform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  Record(L"EnumDisplaySettingsW", {modeNum == win::kEnumCurrentSettings    ? std::wstring(L"ENUM_CURRENT_SETTINGS")
                                   : modeNum == win::kEnumRegistrySettings ? std::wstring(L"ENUM_REGISTRY_SETTINGS")
                                                                           : std::to_wstring(modeNum)});
  if (modeNum == win::kEnumCurrentSettings) mode = display;
  else if (modeNum == win::kEnumRegistrySettings) mode = storedDisplay;
  else return false;
  mode.fields = win::kDmBitsPerPel | win::kDmPelsWidth | win::kDmPelsHeight | win::kDmDisplayFrequency;
  return true;
}

long FakePlatform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  if (!mode) {
    Record(L"ChangeDisplaySettingsW", {L"null", HexNumber(flags)});
    display = storedDisplay;
    return win::kDispChangeSuccessful;
  }
  Record(L"ChangeDisplaySettingsW",
         {std::to_wstring(mode->bitsPerPel), std::to_wstring(mode->pelsWidth), std::to_wstring(mode->pelsHeight),
          std::to_wstring(mode->displayFrequency), HexNumber(mode->fields), HexNumber(flags)});
  DisplayMode next = ChangedDisplayMode(display, *mode);
  if (flags & win::kCdsTest) return win::kDispChangeSuccessful;
  display = next;
  if (flags & win::kCdsUpdateRegistry) storedDisplay = next;
  return win::kDispChangeSuccessful;
}

int FakePlatform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  Record(L"MessageBoxW", {text, caption, HexNumber(type)});
  return messageBoxResult;
}

int FakePlatform::RunVersionChooser(LaunchContext& context) {
  Record(L"RunVersionChooser");
  return onChooser ? onChooser(context) : -1;
}

std::unique_ptr<ActiveDesktop> FakePlatform::CreateActiveDesktop() {
  Record(L"CreateActiveDesktop");
  if (failingDesktopStep == L"Create") return nullptr;
  return std::make_unique<FakeActiveDesktop>(*this);
}

}  // namespace kestrel
