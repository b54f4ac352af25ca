#pragma once
// The chooser's window shape: the region CreateRoundRectRgn(0, 0, width,
// height, 4, 4) gives, as Wine's GDI answers it.  The region ends one pixel
// before the right and bottom edges, and the 4 x 4 corner ellipses leave
// out the corner pixel of each of its four corners.

namespace kestrel {

inline bool InsideRoundCorners(int x, int y, int width, int height) {
  const int right = width - 2, bottom = height - 2;  // the region's last column and row
  if (x < 0 || y < 0 || x > right || y > bottom) return false;
  return !((x == 0 || x == right) && (y == 0 || y == bottom));
}

}  // namespace kestrel
