#pragma once
// The chooser's sources in a launch: the skin from the game's res.dat (and
// loose files), the configuration from its Config.ini, and the version
// action on the platform.  Linked with each build's window, beside the
// skin loader it calls.

#include "chooser/chooser_sources.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel {

class LaunchChooserSources : public ChooserSources {
 public:
  LaunchChooserSources(Platform& os, LaunchContext& context) : os_(os), context_(context) {}

  SkinImagePtr LoadSkinImage(const std::wstring& name) override;
  bool LoadChooserSkin(ChooserSkin& skin) override;
  bool LoadChooserConfig(ChooserConfig& config) override;
  void RunVersionAction(const VersionEntry& entry) override;

 private:
  Platform& os_;
  LaunchContext& context_;
};

}  // namespace kestrel
