#pragma once
// The chooser as the Linux build shows it: the skin, the entries and one
// image button per small button and version, laid out by the portable
// rules, and the one rendering code both the window and the operators'
// preview use.  Composition follows the Win32 window step by step: the
// background and the frame pieces blended off screen (the pieces on the
// right and bottom one pixel short, absent pieces left out, stretched
// pieces sampled nearest-neighbour), then each button's slice blended with
// its own alpha over the part of that picture under it, its label across
// the middle, in the buttons' stacking order.

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "chooser/chooser_layout.h"
#include "chooser/chooser_sources.h"
#include "chooser/image_button_state.h"
#include "platform/platform.h"

namespace kestrel {

/// Owns one cairo surface reference.
struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

struct ChooserButton {
  int id = 0;
  Placement rect;       ///< in the window
  Size capture;         ///< how much of the background it keeps
  ImageButtonState state;
  CairoSurface strip;   ///< three slices; none when its image did not load
  std::wstring label;
};

class ChooserView {
 public:
  /// Loads the skin, then the configuration, then makes the buttons, as
  /// the window's creation does.  False, with the creation's failure line
  /// logged on `os`, when the skin or the configuration does not load.
  bool Create(Platform& os, ChooserSources& sources);

  Size client;  ///< the background's size (the window's)
  std::wstring title;
  std::vector<std::unique_ptr<VersionEntry>> entries;
  /// Minimize, maximize, close, then one per entry: the stacking order
  /// from the bottom, since each button is raised as its image is set.
  std::vector<ChooserButton> buttons;

  /// Composes the background and the frame (an RGB surface of the
  /// window's size) and lets every button capture the part under it.
  void ComposeBackground();
  /// The whole window: the composed background with every button over it.
  CairoSurface RenderFrame() const;
  /// Draws one button over `frame`, clipped to the button.
  void DrawButton(cairo_t* frame, const ChooserButton& button) const;
  /// The topmost button at (x, y), or null.
  ChooserButton* ButtonAt(int x, int y);

 private:
  ChooserSkin skin_;
  CairoSurface background_;  ///< the composed background
};

/// The face the labels are drawn with: "宋体" when fontconfig knows it,
/// else an installed CJK face.
const std::string& LabelFontFamily();

}  // namespace kestrel
