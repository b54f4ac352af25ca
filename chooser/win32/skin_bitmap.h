#pragma once
// A skin image as a GDI bitmap the chooser window owns: a 32-bit top-down
// DIB section with the image's premultiplied pixels, as AlphaBlend with
// AC_SRC_ALPHA expects them.

#include "framework/win32/gdi_objects.h"
#include "skin/skin_image.h"

namespace kestrel {

/// None for no image, or when the bitmap cannot be made.
UniqueBitmap SkinBitmap(const SkinImagePtr& image);

}  // namespace kestrel
