#include "platform/linux/png_image_decoder.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

namespace {

struct ByteReader {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<ByteReader*>(closure);
  if (reader->bytes.size() - reader->at < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data() + reader->at, length);
  reader->at += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

cairo_surface_t* DecodePngSurface(std::span<const std::uint8_t> bytes) {
  ByteReader reader{bytes};
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(ReadBytes, &reader);
  if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(decoded);
    return nullptr;
  }
  if (cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32) return decoded;

  // An image without alpha comes as RGB24, whose fourth byte is undefined:
  // painted onto an ARGB32 surface it is opaque, as GDI+ makes it.
  const int width = cairo_image_surface_get_width(decoded);
  const int height = cairo_image_surface_get_height(decoded);
  cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(argb) == CAIRO_STATUS_SUCCESS) {
    cairo_t* cr = cairo_create(argb);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, decoded, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(argb);
  }
  cairo_surface_destroy(decoded);
  if (cairo_surface_status(argb) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(argb);
    return nullptr;
  }
  return argb;
}

}  // namespace kestrel
