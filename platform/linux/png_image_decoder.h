#pragma once
// PNG bytes to the Linux build's skin image, decoded
// as the Windows build's GDI+ decodes them (its PNG codec under Wine is
// libpng with these settings, so the two builds give the same pixels):
//   - CRC errors are ignored, in every chunk;
//   - the chunk list must lead to an end chunk (GDI+ walks it for the
//     image's properties), but bytes after the end chunk do not matter;
//   - libpng's warnings do not stop the decode;
//   - a palette index beyond the palette is transparent black;
//   - no gamma or colour-profile correction;
//   - 16-bit samples keep their high byte.
// The result is 0xAARRGGBB words, colour premultiplied by alpha with
// GDI+'s rounding, so a transparent pixel is transparent black.
// cairo's own PNG reader would refuse any image libpng warns about (an
// everyday sRGB-profile warning among them) and would paint bad palette
// indices opaque black.

#include <cstdint>
#include <memory>
#include <span>

#include "skin/linux/pixel_skin_image.h"

namespace kestrel {

/// The decoded image, owned by the caller; null when the bytes do not
/// decode.
std::unique_ptr<PixelSkinImage> DecodePngImage(std::span<const std::uint8_t> bytes);

}  // namespace kestrel
