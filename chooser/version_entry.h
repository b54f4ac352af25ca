#pragma once
// One version button's configuration, read from "dlg_config" when the
// chooser window is created.  The window owns the entries in key order:
// entry i comes from the keys numbered i + 1 and belongs to the version
// button with id 4099 + i.

#include <cstdint>
#include <string>

namespace kestrel {

/// What the window does after a version button's action.
enum CloseMode : std::int32_t {
  kCloseAfterRun = 1,  ///< "btn%dCloseDlg" 0, below 0 or missing: the window closes with OK
  kKeepOpen = 2,       ///< "btn%dCloseDlg" above 0: the window stays for further clicks
};

struct VersionEntry {
  std::wstring caption;     ///< label drawn on the button (at most 259 characters)
  std::wstring exeName;     ///< program, relative to the game's base directory
  std::wstring parameters;  ///< the program's parameters
  std::wstring version;     ///< the version this button stands for
  std::int32_t closeMode = kCloseAfterRun;
};

}  // namespace kestrel
