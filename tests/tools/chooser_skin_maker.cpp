// Writes a complete chooser skin archive (res.dat): the thirteen images
// with names in the GBK code page, as skin makers' archives store them.
//   chooser_skin_maker OUT.dat [--no-background]
// The picture: a blue gradient background, a light frame with soft
// corners, version buttons with transparent rounded ends and three slices
// (normal, hover, pressed), and small buttons in the top right corner.

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "skin/skin_image_names.h"
#include "tests/support/png_builder.h"
#include "tests/support/zip_builder.h"

using kestrel::testing::MakePng;
using kestrel::testing::Rgba;

namespace {

std::string Background() {
  return MakePng(400, 300, [](int x, int y) {
    return Rgba(static_cast<std::uint8_t>(20 + x * 40 / 400), static_cast<std::uint8_t>(60 + y * 60 / 300),
                static_cast<std::uint8_t>(140 + (x + y) * 80 / 700), 255);
  });
}

/// Frame piece k: corners 8 x 8 with a soft inner edge, edges 8 across.
/// Each piece is even along its stretched or squeezed direction.
std::string FramePiece(int k) {
  const bool horizontal = k == 1 || k == 6, vertical = k == 3 || k == 4;
  const int width = horizontal ? 16 : 8, height = vertical ? 16 : 8;
  return MakePng(width, height, [k, horizontal, vertical](int x, int y) {
    int depth = 0;  // distance from the window's outer edge
    if (horizontal) depth = k == 1 ? y : 7 - y;
    else if (vertical) depth = k == 3 ? x : 7 - x;
    else depth = std::min(k == 0 || k == 5 ? x : 7 - x, k == 0 || k == 2 ? y : 7 - y);
    const std::uint8_t alpha = static_cast<std::uint8_t>(depth >= 3 ? 0 : 230 - depth * 70);
    return Rgba(235, 240, 250, alpha);
  });
}

/// Three slices of 200 x 40; the rounded ends fade out, the middle is solid.
std::string VersionButton() {
  return MakePng(200, 120, [](int x, int y) {
    const int slice = y / 40, row = y % 40;
    const int edge = std::min({x, 199 - x, row, 39 - row});
    const std::uint8_t alpha = static_cast<std::uint8_t>(edge >= 4 ? 255 : edge * 60);
    const std::uint32_t face[3][3] = {{250, 250, 245}, {255, 236, 160}, {230, 200, 110}};
    const std::uint8_t shade = static_cast<std::uint8_t>(row * 2);
    return Rgba(static_cast<std::uint8_t>(face[slice][0] - shade / 4), static_cast<std::uint8_t>(face[slice][1] - shade / 4),
                static_cast<std::uint8_t>(face[slice][2] - shade / 4), alpha);
  });
}

/// A small button strip: a glyph drawn by `mark` over a plate that shows
/// only on hover and press.
template <typename Mark>
std::string SmallButton(int width, Mark mark) {
  return MakePng(width, 69, [width, mark](int x, int y) {
    const int slice = y / 23, row = y % 23;
    if (mark(x, row, width)) return Rgba(255, 255, 255, 255);
    if (slice == 0) return Rgba(0, 0, 0, 0);
    return slice == 1 ? Rgba(255, 255, 255, 70) : Rgba(0, 0, 0, 90);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: chooser_skin_maker OUT.dat [--no-background]\n");
    return 2;
  }
  const bool withBackground = !(argc > 2 && std::string(argv[2]) == "--no-background");
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  kestrel::testing::ZipBuilder zip;
  auto add = [&](const wchar_t* name, std::string png) { zip.Add(os->WideToAnsi(name), std::move(png)); };
  for (int k = 0; k < 8; ++k) add(kestrel::kFrameImageNames[k], FramePiece(k));
  if (withBackground) add(kestrel::kBackgroundImageName, Background());
  add(kestrel::kButtonImageName, VersionButton());
  add(kestrel::kMinimizeImageName, SmallButton(31, [](int x, int y, int) { return y == 15 && x >= 10 && x <= 20; }));
  add(kestrel::kMaximizeImageName, SmallButton(31, [](int x, int y, int) {
        return (x >= 10 && x <= 20 && (y == 7 || y == 16)) || ((x == 10 || x == 20) && y >= 7 && y <= 16);
      }));
  add(kestrel::kCloseImageName, SmallButton(42, [](int x, int y, int) {
        const int dx = x - 21, dy = y - 11;
        return (dx == dy || dx == -dy) && dx >= -5 && dx <= 5;
      }));
  std::ofstream out(argv[1], std::ios::binary);
  const std::string bytes = zip.Build();
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
