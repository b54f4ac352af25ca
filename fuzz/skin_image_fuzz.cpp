// libFuzzer target: arbitrary bytes decoded as a skin image, the way the
// launcher decodes an archive entry (the pixel budget first, then this
// build's decoder).  The promises checked: an image that comes back is
// within the budget, its pixel dump has exactly its size, and no colour
// exceeds its alpha (the pixels are premultiplied).

#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/linux/linux_platform.h"
#include "skin/png_header.h"
#include "skin/skin_image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrel;
  // Decoding never reaches the machine root, so none is made.
  static LinuxPlatform os(MachineRoot("/nonexistent/kestrel-fuzz"));
  SkinImagePtr image = DecodeSkinImage(os, L"fuzz.png", std::string_view(reinterpret_cast<const char*>(data), size));
  if (!image) return 0;
  const int width = image->Width(), height = image->Height();
  fuzz::Check(width > 0 && height > 0 && width <= static_cast<int>(kMaxSkinImageSide) &&
              height <= static_cast<int>(kMaxSkinImageSide) &&
              static_cast<std::uint64_t>(width) * height <= kMaxSkinImagePixels);
  const std::vector<std::uint8_t> pixels = image->PremultipliedBgra();
  fuzz::Check(pixels.size() == static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4)
    fuzz::Check(pixels[i] <= pixels[i + 3] && pixels[i + 1] <= pixels[i + 3] && pixels[i + 2] <= pixels[i + 3]);
  return 0;
}
