#include "chooser/launch_chooser_sources.h"

#include "chooser/version_action.h"
#include "skin/skin_image_loader.h"

namespace kestrel {

SkinImagePtr LaunchChooserSources::LoadSkinImage(const std::wstring& name) { return kestrel::LoadSkinImage(os_, name); }

bool LaunchChooserSources::LoadChooserSkin(ChooserSkin& skin) { return kestrel::LoadChooserSkin(os_, context_, skin); }

bool LaunchChooserSources::LoadChooserConfig(ChooserConfig& config) {
  return kestrel::LoadChooserConfig(os_, context_, config);
}

void LaunchChooserSources::RunVersionAction(const VersionEntry& entry) {
  kestrel::RunVersionAction(os_, context_, entry);
}

}  // namespace kestrel
