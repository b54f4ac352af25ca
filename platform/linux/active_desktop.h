#pragma once
// The desktop wallpaper on the Linux machine model.  Applying it writes what
// Windows writes for the user (HKCU\Control Panel\Desktop: "Wallpaper",
// "WallpaperStyle", "TileWallpaper"), so anything reading the machine's
// registry sees the same as on Windows, and, where a desktop that takes it
// is running (gsettings on PATH and a session bus), sets the picture and its
// placement there too.

#include <string>

#include "platform/linux/machine_root.h"
#include "platform/linux/registry_store.h"
#include "platform/platform.h"

namespace kestrel {

/// The registry texts Windows writes for a wallpaper style (0 centred,
/// 1 tiled, 2 stretched, 3 fit, 4 fill, 5 span), and the GNOME placement
/// that matches it.  False for a style Windows does not have.
struct WallpaperPlacement {
  const wchar_t* wallpaperStyle;
  const wchar_t* tileWallpaper;
  const char* pictureOptions;
};
bool PlacementOf(int style, WallpaperPlacement& placement);

class LinuxActiveDesktop : public ActiveDesktop {
 public:
  LinuxActiveDesktop(MachineRoot& root, RegistryStore& registry) : root_(root), registry_(registry) {}

  bool SetWallpaper(const std::wstring& file) override;
  bool SetWallpaperOptions(int style) override;
  /// Saves the registry values (flag 1, AD_APPLY_SAVE) and shows the
  /// picture on the running desktop (flag 4, AD_APPLY_REFRESH).
  bool ApplyChanges(std::uint32_t flags) override;

 private:
  /// gsettings on the host desktop; false when there is none or it fails.
  bool ShowOnDesktop(const std::string& hostFile, const WallpaperPlacement& placement);

  MachineRoot& root_;
  RegistryStore& registry_;
  std::wstring file_;
  int style_ = 0;
};

}  // namespace kestrel
