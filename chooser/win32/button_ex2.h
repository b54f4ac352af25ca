#pragma once
// The chooser's image button: an owner-drawn push button that shows one
// slice of a three-slice skin strip (normal, hover, pressed) alpha-blended
// over the piece of the parent's composed background under it, with its
// label across the middle.  The state rules live in ImageButtonState; this
// is their Win32 front end.

#include <string>

#include "chooser/chooser_sources.h"
#include "chooser/image_button_state.h"
#include "framework/win32/button.h"
#include "framework/win32/gdi_objects.h"

namespace kestrel {

class CButtonEx2 : public CButton {
 public:
  CButtonEx2();
  ~CButtonEx2() override;

  static const RuntimeClass classCButtonEx2;
  const RuntimeClass* GetRuntimeClass() const override { return &classCButtonEx2; }

  /// mouseState, backgroundCaptured, sliceWidth and sliceHeight.
  ImageButtonState state;
  /// Shown while the pointer is over the button; borrowed from the owner.
  HCURSOR cursor = nullptr;
  /// Where SetImage finds its images; set by the owner, like the cursor.
  ChooserSources* imageLoader = nullptr;
  /// The three-slice strip; empty until an image is set.
  MemorySurface imageSurface;
  /// The latest capture of the parent's background under the button.
  MemorySurface backgroundSurface;

  /// Loads the skin image `name` and makes it the button's strip; a name
  /// that gives no image leaves the button as it was.
  void SetImage(const std::wstring& name);
  /// Makes `image` the button's strip and sizes the button to one slice,
  /// keeping its position, and raises it above its siblings, so where the
  /// column of version buttons overlaps the small buttons the later button
  /// is on top and takes the click it shows.
  void SetImageBitmap(UniqueBitmap image);
  /// Copies width x height pixels of the parent's surface `parentSurface`,
  /// from under the button's point (x, y), into backgroundSurface.  The
  /// caller marks the capture done (backgroundCaptured).
  void CaptureParentBackground(HDC parentSurface, int x, int y, int width, int height);

  void DrawItem(DRAWITEMSTRUCT* item) override;
  /// Composes the slice at row `sourceY` of the strip, width x height, over
  /// the captured background (or opaque without one), writes the label and
  /// puts the result on `dc` at (x, y) with one copy.
  void DrawState(HDC dc, int x, int y, int sourceY, int width, int height);

 protected:
  /// Makes the button owner-drawn and keeps it from painting over its
  /// siblings and children.
  void PreSubclassWindow() override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnMouseLeave() override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  BOOL OnSetCursor(HWND window, UINT hitTest, UINT message) override;
  /// Never erased: every paint covers the whole button.
  BOOL OnEraseBkgnd(HDC dc) override;

 private:
  void React(ButtonReaction reaction);
};

}  // namespace kestrel
