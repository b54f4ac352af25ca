#pragma once
// PNG bytes to a cairo image surface, the Linux build's skin image: cairo's
// PNG stream reader (libpng underneath, so palette, grey, 16-bit,
// interlaced and tRNS images all decode) reading from memory, the result
// always in CAIRO_FORMAT_ARGB32 with premultiplied alpha.

#include <cairo.h>

#include <cstdint>
#include <span>

namespace kestrel {

/// The decoded image, owned by the caller; null when the bytes are not a
/// PNG that decodes whole.
cairo_surface_t* DecodePngSurface(std::span<const std::uint8_t> bytes);

}  // namespace kestrel
