#include "util/drive_letters.h"

#include "text/path_buffer.h"

namespace kestrel {

wchar_t FindFreeDriveLetter(Platform& os) {
  std::wstring roots;  // "C:\", a zero, "D:\", a zero, ...
  std::uint32_t filled = os.GetLogicalDriveStringsW(kMaxPath, roots);
  // A list too long for the buffer comes back empty with the size it needs;
  // only what was filled is looked at.
  std::wstring_view used(roots.data(), std::min<std::size_t>(filled, roots.size()));
  for (wchar_t letter = L'D'; letter <= L'Z'; ++letter)
    if (used.find(letter) == std::wstring_view::npos) return letter;
  return 0;
}

std::wstring DriveName(wchar_t letter) { return letter ? std::wstring{letter, L':'} : std::wstring(); }

}  // namespace kestrel
