#pragma once
// The real platform of this build, ready to decode skin images (on Windows
// with GDI+ started), for tests that hold both builds' decoders to the same
// pixels.

#include <memory>

#include "platform/platform.h"
#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/linux/linux_platform.h"
#endif

namespace kestrel::testing {

inline std::unique_ptr<Platform> MakeDecodingPlatform() {
#ifdef _WIN32
  auto os = std::make_unique<Win32Platform>();
  os->InitializeFramework();
  return os;
#else
  // Decoding never reaches the machine root, so none is made.
  return std::make_unique<LinuxPlatform>(MachineRoot("/nonexistent/kestrel-decoding"));
#endif
}

}  // namespace kestrel::testing
