#pragma once
// GetLogicalDriveStringsW's string from the letters of the drives present.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

/// "C:\", a zero, "Z:\", a zero, ... for `letters` (upper case, in order),
/// into `buffer` when it fits in `bufferChars` characters with the final
/// zero: then the characters filled (the final zero not counted), else
/// `buffer` empty and the size needed, the final zero counted.
inline std::uint32_t LogicalDriveStrings(const std::vector<wchar_t>& letters, std::uint32_t bufferChars,
                                         std::wstring& buffer) {
  std::wstring all;
  for (wchar_t letter : letters) all += std::wstring{letter, L':', L'\\', L'\0'};
  buffer.clear();
  if (all.size() + 1 > bufferChars) return static_cast<std::uint32_t>(all.size() + 1);
  buffer = all;
  return static_cast<std::uint32_t>(all.size());
}

}  // namespace kestrel
