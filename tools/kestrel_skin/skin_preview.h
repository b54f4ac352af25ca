#pragma once
// KestrelSkin preview: the chooser of a game as its window shows it when it
// opens (skin from the folder's res.dat, title, captions and buttons from
// its Config.ini), drawn by the window's own rendering into a PNG, without
// a window.

#include <ostream>
#include <string>

namespace kestrel {

class Platform;

/// `gamePatch` is a game's GamePatch folder (a host path or a Windows
/// path).  Returns 0 with the picture written, 1 when the chooser would
/// not open or the file cannot be written, 2 for a folder not named
/// GamePatch.
int RunSkinPreview(Platform& os, const std::wstring& gamePatch, const std::string& outPng, std::ostream& err);

}  // namespace kestrel
