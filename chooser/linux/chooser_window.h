#pragma once
// The chooser window of the Linux build, on SDL2: borderless, the size of
// the skin's background, centred, titled from "dlgCaption", with rounded
// corners where the window system takes a shape.  It runs its own modal
// loop and returns the modal result: 1 after a version that closes the
// window, 2 for the close button, Esc and the window manager's close, -1
// when it could not be created.  Pressing the background drags the window;
// while a version program runs the window neither repaints nor reacts.

#include <functional>

#include "chooser/chooser_sources.h"
#include "platform/platform.h"

namespace kestrel {

/// For benchmarks and tests: called once the first frame is on screen
/// (with the window's X11 id, or 0), and after every repaint of a button
/// with the time it took in microseconds.
struct ChooserWindowHooks {
  std::function<void(unsigned long window)> firstPresent;
  std::function<void(long long micros)> buttonRepainted;
};

int RunChooserWindow(Platform& os, ChooserSources& sources, const ChooserWindowHooks* hooks = nullptr);

}  // namespace kestrel
