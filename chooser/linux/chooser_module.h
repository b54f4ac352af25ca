#pragma once
// The Linux chooser window lives in a module of its own,
// libkestrel-chooser.so, opened only when a chooser is shown: SDL2, cairo and pango linked into the launcher would cost every
// direct launch their loading time.  The module exports one entry point.

#include "chooser/linux/chooser_window.h"

extern "C" {
/// RunChooserWindow, across the module boundary.
using KestrelRunChooserWindowFn = int (*)(kestrel::Platform* os, kestrel::ChooserSources* sources,
                                          const kestrel::ChooserWindowHooks* hooks);
inline constexpr const char* kKestrelRunChooserWindowSymbol = "KestrelRunChooserWindow";
inline constexpr const char* kKestrelChooserModuleName = "libkestrel-chooser.so";
/// Where the launcher looks for the module, relative to its own folder:
/// beside itself (the build's bin folder), else where `cmake --install`
/// and the package put it (bin/../lib/kestrelex).
inline constexpr const char* kKestrelChooserModuleDirs[] = {"", "../lib/kestrelex/"};
}
