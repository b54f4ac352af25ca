#pragma once
// The display mode of the Linux machine model.  A Linux desktop cannot
// change its colour depth while it runs, so the mode is a stored one: the
// lasting mode in $KESTREL_ROOT/display.ini (32 bits per pixel until a
// change with CDS_UPDATEREGISTRY stores another), and the current mode,
// which starts as the stored one and which a change without that flag
// alters for this process only.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kestrel {

class DisplaySettings {
 public:
  /// `file` is the host path of the stored mode.
  explicit DisplaySettings(std::string file);

  /// EnumDisplaySettingsW: the current mode, the stored mode, or supported
  /// mode `modeNum` (the current size at 8, 16, 24 and 32 bits per pixel).
  bool Enum(std::uint32_t modeNum, DisplayMode& mode);
  /// ChangeDisplaySettingsW.
  long Change(const DisplayMode* mode, std::uint32_t flags);

 private:
  DisplayMode Stored() const;
  bool Store(const DisplayMode& mode) const;
  void Load();

  std::string file_;
  bool loaded_ = false;
  DisplayMode current_;
};

}  // namespace kestrel
