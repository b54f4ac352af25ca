// The display modes and the message box.
#include "platform/linux/linux_platform.h"
#include "platform/linux/message_box.h"

namespace kestrel {

bool LinuxPlatform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!display_.Enum(modeNum, mode)) {
    SetLastError(win::kInvalidParameter);
    return false;
  }
  return true;
}

long LinuxPlatform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  root_.Ensure();
  std::lock_guard<std::mutex> guard(lock_);
  return display_.Change(mode, flags);
}

int LinuxPlatform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  return ShowMessageBox(text, caption, type);
}

}  // namespace kestrel
