#pragma once
// The fuzz targets' one assertion: a broken promise aborts, so libFuzzer
// keeps the input that broke it.

#include <cstdlib>

namespace kestrel::fuzz {

inline void Check(bool promise) {
  if (!promise) std::abort();
}

}  // namespace kestrel::fuzz
