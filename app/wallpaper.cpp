#include "app/wallpaper.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kApplyAll = 7;  // AD_APPLY_SAVE | AD_APPLY_HTMLGEN | AD_APPLY_REFRESH
}

bool ApplyWallpaper(Platform& os, const std::wstring& file, int style) {
  std::unique_ptr<ActiveDesktop> desktop = os.CreateActiveDesktop();
  if (!desktop) return false;
  return desktop->SetWallpaper(file) && desktop->SetWallpaperOptions(style) && desktop->ApplyChanges(kApplyAll);
}

}  // namespace kestrel
