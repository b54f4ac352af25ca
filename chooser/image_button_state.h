#pragma once
// The image button's state, kept apart from any window system: which of the
// three slices of its strip it shows (normal, hover, pressed), how mouse
// events move between them, and where its label goes.  The Win32 button and
// any other front end drive it the same way.

#include <cstdint>

namespace kestrel {

enum MouseState : std::int32_t {
  kMouseNormal = 0,
  kMouseHover = 1,    ///< pointer inside and a leave notice requested
  kMousePressed = 2,  ///< the left button went down on it
};

/// What a mouse event asks of the window after the state has moved.
struct ButtonReaction {
  bool trackLeave = false;  ///< request a leave notice (TrackMouseEvent, TME_LEAVE)
  bool invalidate = false;  ///< repaint the whole button
  bool operator==(const ButtonReaction&) const = default;
};

/// A rectangle by its edges, as RECT has it.
struct LabelBand {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const LabelBand&) const = default;
};

class ImageButtonState {
 public:
  std::int32_t mouseState = kMouseNormal;
  /// True once the parent has copied its background under the button.
  bool backgroundCaptured = false;
  std::int32_t sliceWidth = 0;   ///< the strip's width; 0 without an image
  std::int32_t sliceHeight = 0;  ///< a third of the strip's height; 0 without an image

  /// A strip of `width` x `height` pixels became the button's image.  Rows
  /// left over by the division by three are never shown.
  void SetImageSize(int width, int height);

  /// The first move inside arms the leave notice and shows the hover slice;
  /// later moves change nothing.  A move while pressed goes back to hover.
  ButtonReaction OnMouseMove();
  /// The pointer left: back to normal.
  ButtonReaction OnMouseLeave();
  /// Pressing and releasing change the slice only when there is an image to
  /// show; the click itself is the platform button's either way.
  ButtonReaction OnLButtonDown(bool hasImage);
  ButtonReaction OnLButtonUp(bool hasImage);

  /// The first row of the slice for the current state: pressed slice 2,
  /// hover slice 1, anything else slice 0.
  int SourceY() const;
};

/// The band the label is drawn in, for a slice drawn at (x, y) with the
/// given size: across the whole width, 12 pixels high, with its top at
/// (y + height) / 2 - 5.  The text is clipped to it, so only one line of a
/// long label shows.
LabelBand LabelBandFor(int x, int y, int width, int height);

}  // namespace kestrel
