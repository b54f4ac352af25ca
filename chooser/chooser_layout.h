#pragma once
// Where the chooser window puts things, from the sizes of its skin images:
// the three small buttons along the top right, the column of version
// buttons, the frame pieces around the background, and the icon of the
// minimized window.  Pure arithmetic, the same for every front end.

#include <array>
#include <cstddef>
#include <vector>

namespace kestrel {

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

/// A rectangle by its corner and size.
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Placement&) const = default;
};

/// Minimize, maximize and close, side by side and ending at the right edge
/// of a background `backgroundWidth` pixels wide.
std::array<Placement, 3> SystemButtonPlacements(int backgroundWidth);

/// The version buttons' column: each as wide as the button image and a third
/// as high, centred horizontally, with a 10-pixel gap after every button
/// (the last one too) and that whole height centred vertically.  A column
/// taller than the background starts above it.
std::vector<Placement> VersionButtonPlacements(Size background, Size buttonImage, std::size_t count);

/// The eight frame pieces over a client area of `client` size, in drawing
/// order (top-left, top, top-right, left, right, bottom-left, bottom,
/// bottom-right).  An absent piece has size 0 x 0.  The pieces on the right
/// and bottom are one pixel narrower or lower than their images, so the
/// last column and row of the window keep the background.
std::array<Placement, 8> FramePiecePlacements(Size client, const std::array<Size, 8>& pieces);

/// How much of the composed background each button keeps for its own
/// transparent pixels: 31 x 23 for minimize and maximize, 42 x 23 for close,
/// 400 x 300 for every version button.
inline constexpr Size kSmallButtonCapture{31, 23};
inline constexpr Size kCloseButtonCapture{42, 23};
inline constexpr Size kVersionButtonCapture{400, 300};

/// Where the icon of a minimized window goes: centred in a client area of
/// `client` size, for an icon of `icon` size.
Placement MinimizedIconPlacement(Size client, Size icon);

}  // namespace kestrel
