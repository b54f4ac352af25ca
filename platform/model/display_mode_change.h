#pragma once
// What ChangeDisplaySettingsW takes from the mode it is given.

#include "platform/platform.h"

namespace kestrel {

/// `current` with each field that `change` names in its fields bits and
/// gives a value other than zero; the rest of `current` stays.
inline DisplayMode ChangedDisplayMode(const DisplayMode& current, const DisplayMode& change) {
  DisplayMode next = current;
  if ((change.fields & win::kDmBitsPerPel) && change.bitsPerPel) next.bitsPerPel = change.bitsPerPel;
  if ((change.fields & win::kDmPelsWidth) && change.pelsWidth) next.pelsWidth = change.pelsWidth;
  if ((change.fields & win::kDmPelsHeight) && change.pelsHeight) next.pelsHeight = change.pelsHeight;
  if ((change.fields & win::kDmDisplayFrequency) && change.displayFrequency)
    next.displayFrequency = change.displayFrequency;
  return next;
}

}  // namespace kestrel
