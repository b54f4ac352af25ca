// TEMPORARY, until the skin loader is merged: no skin ever loads, so the
// chooser window is never created (-1) and the launch goes on, as before
// the window existed.  Removed by the merge that brings the loader.
#include "skin/skin_image_loader.h"

namespace kestrel {

SkinImagePtr LoadSkinImage(Platform&, const std::wstring&) { return {}; }
bool LoadChooserSkin(Platform&, const LaunchContext&, ChooserSkin&) { return false; }

}  // namespace kestrel
