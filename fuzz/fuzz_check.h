#pragma once
// The fuzz targets' one assertion: a broken promise aborts, so libFuzzer
// keeps the input that broke it.

#include <cstdlib>
#include <string>
#include <string_view>

namespace kestrel::fuzz {

inline void Check(bool promise) {
  if (!promise) std::abort();
}

/// Each input byte as one character, so every byte value reaches the
/// parser as text, zero included.
inline std::wstring Latin1(std::string_view bytes) {
  std::wstring text;
  for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}

}  // namespace kestrel::fuzz
