#include "platform/win32/win32_active_desktop.h"

#include <windows.h>
// IActiveDesktop is declared only after the internet declarations.
#include <wininet.h>
#include <shlobj.h>

namespace kestrel {

namespace {

// CLSID_ActiveDesktop and IID_IActiveDesktop, written out so that no
// import library has to provide them.
const CLSID kActiveDesktopClass = {0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
const IID kActiveDesktopInterface = {0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

class ShellActiveDesktop : public ActiveDesktop {
 public:
  explicit ShellActiveDesktop(IActiveDesktop* desktop) : desktop_(desktop) {}
  ~ShellActiveDesktop() override { desktop_->Release(); }
  ShellActiveDesktop(const ShellActiveDesktop&) = delete;
  ShellActiveDesktop& operator=(const ShellActiveDesktop&) = delete;

  bool SetWallpaper(const std::wstring& file) override { return desktop_->SetWallpaper(file.c_str(), 0) == S_OK; }
  bool SetWallpaperOptions(int style) override {
    WALLPAPEROPT options{sizeof(WALLPAPEROPT), static_cast<DWORD>(style)};
    return desktop_->SetWallpaperOptions(&options, 0) == S_OK;
  }
  bool ApplyChanges(std::uint32_t flags) override { return desktop_->ApplyChanges(flags) == S_OK; }

 private:
  IActiveDesktop* desktop_;
};

}  // namespace

std::unique_ptr<ActiveDesktop> CreateShellActiveDesktop() {
  void* object = nullptr;
  HRESULT result =
      ::CoCreateInstance(kActiveDesktopClass, nullptr, CLSCTX_INPROC_SERVER, kActiveDesktopInterface, &object);
  if (FAILED(result) || !object) return nullptr;
  return std::make_unique<ShellActiveDesktop>(static_cast<IActiveDesktop*>(object));
}

}  // namespace kestrel
