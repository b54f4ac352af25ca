#include "chooser/chooser_layout.h"

namespace kestrel {

std::array<Placement, 3> SystemButtonPlacements(int backgroundWidth) {
  return {{
      {backgroundWidth - 104, 0, 31, 23},
      {backgroundWidth - 73, 0, 31, 23},
      {backgroundWidth - 42, 0, 42, 23},
  }};
}

std::vector<Placement> VersionButtonPlacements(Size background, Size buttonImage, std::size_t count) {
  std::vector<Placement> placements;
  if (count == 0) return placements;
  const int sliceHeight = buttonImage.height / 3;
  // Each half is taken on its own, as the window has always done it.
  const int x = background.width / 2 - buttonImage.width / 2;
  const long long step = sliceHeight + 10;
  long long y = (background.height - static_cast<long long>(count) * step) / 2;
  placements.reserve(count);
  for (std::size_t i = 0; i < count; ++i, y += step)
    placements.push_back({x, static_cast<int>(y), buttonImage.width, sliceHeight});
  return placements;
}

std::array<Placement, 8> FramePiecePlacements(Size client, const std::array<Size, 8>& p) {
  const int cw = client.width, ch = client.height;
  // A piece drawn one pixel short keeps its size at 0 when it is absent.
  auto shortOf = [](int v) { return v > 0 ? v - 1 : 0; };
  return {{
      {0, 0, p[0].width, p[0].height},
      {p[0].width, 0, cw - p[2].width - p[0].width, p[1].height},
      {cw - p[2].width, 0, shortOf(p[2].width), p[2].height},
      {0, p[0].height, p[3].width, ch - p[5].height - p[0].height},
      {cw - p[4].width, p[2].height, shortOf(p[4].width), ch - p[7].height - p[2].height},
      {0, ch - p[5].height, p[5].width, shortOf(p[5].height)},
      {p[5].width, ch - p[6].height, cw - p[7].width - p[5].width, shortOf(p[6].height)},
      {cw - p[7].width, ch - p[7].height, shortOf(p[7].width), shortOf(p[7].height)},
  }};
}

Placement MinimizedIconPlacement(Size client, Size icon) {
  return {(client.width - icon.width + 1) / 2, (client.height - icon.height + 1) / 2, icon.width, icon.height};
}

}  // namespace kestrel
