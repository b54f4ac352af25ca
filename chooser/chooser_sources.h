#pragma once
// What a chooser window takes from outside itself: its skin images, its
// configuration and the version buttons' action.  The window calls these
// at the points of its life where they belong; LaunchChooserSources puts
// the skin loader, the "dlg_config" reader and the version action behind
// them, and window tests put images and entries made in the test.

#include <string>

#include "chooser/chooser_config.h"
#include "chooser/version_entry.h"
#include "skin/chooser_skin.h"
#include "skin/skin_image.h"

namespace kestrel {

class ChooserSources {
 public:
  virtual ~ChooserSources() = default;
  /// The skin image `name` ("Skin/关闭.png"), or none.
  virtual SkinImagePtr LoadSkinImage(const std::wstring& name) = 0;
  /// At creation, before the configuration: fills `skin`.  False makes
  /// the creation fail.
  virtual bool LoadChooserSkin(ChooserSkin& skin) = 0;
  /// At creation, after the skin: the title and the entries.  False makes
  /// the creation fail.
  virtual bool LoadChooserConfig(ChooserConfig& config) = 0;
  /// A click on the version button of `entry`.  The window closes
  /// afterwards unless the entry keeps it open.
  virtual void RunVersionAction(const VersionEntry& entry) = 0;
};

}  // namespace kestrel
