#pragma once
// A message box on Linux: SDL2's simple message box when a display is
// there to show it, else the caption and text on standard error.

#include <cstdint>
#include <string>

namespace kestrel {

/// Shows the text and returns once it is closed (at once on standard
/// error).  Returns IDOK.
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type);

}  // namespace kestrel
