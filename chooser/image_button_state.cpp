#include "chooser/image_button_state.h"

namespace kestrel {

void ImageButtonState::SetImageSize(int width, int height) {
  sliceWidth = width;
  sliceHeight = height / 3;
}

ButtonReaction ImageButtonState::OnMouseMove() {
  if (mouseState == kMouseHover) return {};
  mouseState = kMouseHover;
  return {true, true};
}

ButtonReaction ImageButtonState::OnMouseLeave() {
  mouseState = kMouseNormal;
  return {false, true};
}

ButtonReaction ImageButtonState::OnLButtonDown(bool hasImage) {
  if (!hasImage) return {};
  mouseState = kMousePressed;
  return {false, true};
}

ButtonReaction ImageButtonState::OnLButtonUp(bool hasImage) {
  if (!hasImage) return {};
  mouseState = kMouseNormal;
  return {false, true};
}

int ImageButtonState::SourceY() const {
  const int slice = mouseState == kMousePressed ? 2 : mouseState == kMouseHover ? 1 : 0;
  return slice * sliceHeight;
}

LabelBand LabelBandFor(int x, int y, int width, int height) {
  const int top = (y + height) / 2 - 5;
  return {x, top, x + width, top + 12};
}

}  // namespace kestrel
