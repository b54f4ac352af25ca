#include "platform/linux/display_settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/model/display_mode_change.h"
#include "platform/model/profile_text.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kAllFields =
    win::kDmBitsPerPel | win::kDmPelsWidth | win::kDmPelsHeight | win::kDmDisplayFrequency;
constexpr std::uint32_t kDepths[] = {8, 16, 24, 32};
constexpr std::uint32_t kKnownFlags = 0x1 | 0x2 | 0x4 | 0x8 | 0x10000000 | 0x40000000;

bool ValidDepth(std::uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

DisplaySettings::DisplaySettings(std::string file) : file_(std::move(file)) {}

DisplayMode DisplaySettings::Stored() const {
  DisplayMode mode{32, 1920, 1080, 60, kAllFields};
  int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return mode;
  std::string bytes;
  char buf[4096];
  ssize_t got;
  while (bytes.size() < 65536 && (got = read(fd, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<std::size_t>(got));
  close(fd);
  ProfileText text(DecodeTextFile(bytes, [](std::string_view b) { return Utf8ToWide(b); }));
  // A value the operator mistyped keeps the default rather than giving a
  // display of 0 pixels.
  auto read = [&](const wchar_t* key, std::uint32_t& field, bool (*valid)(std::uint32_t)) {
    int value = ProfileGetInt(&text, L"Display", key, 0);
    if (value > 0 && valid(static_cast<std::uint32_t>(value))) field = static_cast<std::uint32_t>(value);
  };
  auto positive = [](std::uint32_t v) { return v > 0 && v <= 65535; };
  read(L"BitsPerPel", mode.bitsPerPel, ValidDepth);
  read(L"PelsWidth", mode.pelsWidth, positive);
  read(L"PelsHeight", mode.pelsHeight, positive);
  read(L"DisplayFrequency", mode.displayFrequency, positive);
  return mode;
}

bool DisplaySettings::Store(const DisplayMode& mode) const {
  char text[256];
  int n = std::snprintf(text, sizeof text,
                        "[Display]\nBitsPerPel=%u\nPelsWidth=%u\nPelsHeight=%u\nDisplayFrequency=%u\n",
                        mode.bitsPerPel, mode.pelsWidth, mode.pelsHeight, mode.displayFrequency);
  // Written beside and renamed over, so a reader never sees half a file.
  std::string temp = file_ + ".tmp" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, text, static_cast<std::size_t>(n)) == n && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), file_.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

void DisplaySettings::Load() {
  if (loaded_) return;
  current_ = Stored();
  loaded_ = true;
}

bool DisplaySettings::Enum(std::uint32_t modeNum, DisplayMode& mode) {
  Load();
  if (modeNum == win::kEnumCurrentSettings) {
    mode = current_;
  } else if (modeNum == win::kEnumRegistrySettings) {
    mode = Stored();
  } else if (modeNum < std::size(kDepths)) {
    mode = current_;
    mode.bitsPerPel = kDepths[modeNum];
  } else {
    return false;
  }
  mode.fields = kAllFields;
  return true;
}

long DisplaySettings::Change(const DisplayMode* mode, std::uint32_t flags) {
  Load();
  if (flags & ~kKnownFlags) return win::kDispChangeBadFlags;
  if (!mode) {
    current_ = Stored();
    return win::kDispChangeSuccessful;
  }
  DisplayMode next = ChangedDisplayMode(current_, *mode);
  if (!ValidDepth(next.bitsPerPel) || next.pelsWidth > 65535 || next.pelsHeight > 65535)
    return win::kDispChangeBadMode;
  if (flags & win::kCdsTest) return win::kDispChangeSuccessful;
  if ((flags & win::kCdsUpdateRegistry) && !Store(next)) return win::kDispChangeFailed;
  current_ = next;
  return win::kDispChangeSuccessful;
}

}  // namespace kestrel
