#pragma once
// The ten images the chooser loads when its window is created, in the
// members they fill.  Each starts empty and stays empty when its image
// cannot be loaded; a missing frame piece is left out of the painting.

#include <array>

#include "skin/skin_image.h"

namespace kestrel {

struct ChooserSkin {
  /// Frame pieces 0 (top-left) to 7 (bottom-right), each possibly absent.
  std::array<SkinImagePtr, 8> frameImages;
  SkinImagePtr backgroundImage;  ///< "Skin/背景.png": the window's size
  SkinImagePtr buttonImage;      ///< "Skin/多版本_按钮.png": three stacked slices
};

}  // namespace kestrel
