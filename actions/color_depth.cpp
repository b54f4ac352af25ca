#include "actions/color_depth.h"

#include "core/log.h"

namespace kestrel {

bool SetColorDepth(Platform& os, const LaunchContext& context) {
  int bits = os.GetPrivateProfileIntW(L"action_first", L"setBits", 0, ConfigPath(context));
  if (bits <= 0) return true;
  DisplayMode current;
  os.EnumDisplaySettingsW(win::kEnumCurrentSettings, current);
  if (current.bitsPerPel == static_cast<std::uint32_t>(bits)) {
    LogMessage(os, L"MSG: setBits false, current bits perpel is equal to set");
    return true;
  }
  // Width, height and frequency 0 with their bits set keep the current
  // ones; only the depth changes.
  DisplayMode mode;
  mode.bitsPerPel = static_cast<std::uint32_t>(bits);
  mode.fields = win::kDmBitsPerPel | win::kDmPelsWidth | win::kDmPelsHeight | win::kDmDisplayFrequency;
  os.ChangeDisplaySettingsW(&mode, win::kCdsUpdateRegistry);
  return true;
}

}  // namespace kestrel
