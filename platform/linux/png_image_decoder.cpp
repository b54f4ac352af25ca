#include "platform/linux/png_image_decoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "skin/png_header.h"

namespace kestrel {

namespace {

struct ByteReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<ByteReader*>(png_get_io_ptr(png));
  if (reader->size - reader->at < length) png_error(png, "read beyond the data");
  std::memcpy(out, reader->data + reader->at, length);
  reader->at += length;
}

void IgnoreWarning(png_structp, png_const_charp) {}
/// An error ends the decode quietly: the caller gets no image, nothing is printed.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

/// GDI+'s premultiplication: each colour times alpha, rounded.
inline std::uint32_t Premultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return a << 24 | (r * a + 127) / 255 << 16 | (g * a + 127) / 255 << 8 | (b * a + 127) / 255;
}

/// What the decode needs to know after libpng has read the header.
struct Layout {
  bool indexed = false;
  std::uint32_t palette[256] = {};  ///< premultiplied; entries beyond the palette stay 0
};

/// Sets libpng's transformations so that each row comes out as one byte a
/// pixel (palette indices) or as RGBA bytes.
void ChooseTransforms(png_structp png, png_infop info, Layout& layout) {
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    layout.indexed = true;
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
    for (int i = 0; i < count && i < 256; ++i) {
      const std::uint32_t a = i < alphaCount ? alphas[i] : 255;
      layout.palette[i] = Premultiplied(colours[i].red, colours[i].green, colours[i].blue, a);
    }
    if (bitDepth < 8) png_set_packing(png);
  } else {
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

/// Turns the rows libpng wrote into the image (indices or RGBA bytes at
/// the start of each row) into premultiplied native 32-bit pixels, in
/// place: each row is walked from its end, where no byte still to be read
/// is overwritten.
void ToPremultiplied(unsigned char* data, int stride, int width, int height, const Layout& layout) {
  for (int y = 0; y < height; ++y) {
    unsigned char* row = data + static_cast<std::size_t>(y) * stride;
    auto* pixels = reinterpret_cast<std::uint32_t*>(row);
    for (int x = width - 1; x >= 0; --x) {
      if (layout.indexed) {
        pixels[x] = layout.palette[row[x]];
      } else {
        const unsigned char* p = row + static_cast<std::size_t>(x) * 4;
        pixels[x] = Premultiplied(p[0], p[1], p[2], p[3]);
      }
    }
  }
}

/// The decode itself, apart from any C++ object with a destructor:
/// libpng's errors jump back here.  Returns the image, or null.
PixelSkinImage* Decode(png_structp png, png_infop info, ByteReader& reader, Layout& layout,
                       png_bytep* volatile& rows) {
  PixelSkinImage* volatile image = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    delete image;
    return nullptr;
  }
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_user_limits(png, kMaxSkinImageSide, kMaxSkinImageSide);
  png_set_read_fn(png, &reader, ReadBytes);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (static_cast<std::uint64_t>(width) * height > kMaxSkinImagePixels) png_error(png, "over the pixel budget");
  ChooseTransforms(png, info, layout);
  if (png_get_rowbytes(png, info) > static_cast<png_size_t>(width) * 4) png_error(png, "unexpected row size");

  image = PixelSkinImage::Make(static_cast<int>(width), static_cast<int>(height)).release();
  if (!image) png_error(png, "no memory for the image");
  unsigned char* data = reinterpret_cast<unsigned char*>(image->Row(0));
  const int stride = static_cast<int>(width) * 4;
  rows = static_cast<png_bytep*>(png_malloc(png, sizeof(png_bytep) * height));
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = data + static_cast<std::size_t>(y) * stride;
  // Like GDI+, the decode ends with the last row: what follows the image
  // data is never read.
  png_read_image(png, rows);
  ToPremultiplied(data, stride, static_cast<int>(width), static_cast<int>(height), layout);
  return image;
}

/// GDI+ also reads the list of chunks for the image's properties, and
/// fails the decode when a chunk's head lies beyond the data before the
/// end chunk: a file without an end chunk, or with a chunk length that
/// runs past the end, does not decode.
bool ChunksReachTheEnd(std::span<const std::uint8_t> bytes) {
  std::uint64_t at = 8;
  for (;;) {
    if (bytes.size() < 8 || at > bytes.size() - 8) return false;
    const std::uint8_t* head = bytes.data() + at;
    const std::uint64_t length = static_cast<std::uint64_t>(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
    if (std::memcmp(head + 4, "IEND", 4) == 0) return true;
    at += length + 12;
  }
}

}  // namespace

std::unique_ptr<PixelSkinImage> DecodePngImage(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return nullptr;
  if (!ChunksReachTheEnd(bytes)) return nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  ByteReader reader{bytes.data(), bytes.size(), 0};
  Layout layout;
  png_bytep* volatile rows = nullptr;
  std::unique_ptr<PixelSkinImage> image(Decode(png, info, reader, layout, rows));
  if (rows) png_free(png, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

}  // namespace kestrel
