#include "platform/linux/active_desktop.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux/detached_spawn.h"
#include "platform/linux/program_start.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kApplySave = 1;
constexpr std::uint32_t kApplyRefresh = 4;
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
/// gsettings answers at once on a working session bus; a stuck bus must not
/// hold up the launcher.
constexpr int kDesktopWaitMs = 3000;

/// "file:///..." with everything but unreserved characters and "/"
/// percent-encoded, as GNOME expects a picture URI.
std::string FileUri(const std::string& host) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : host) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

/// Runs a program and waits for it at most `waitMs`; true when it ended
/// with exit code 0.  One that overstays is ended.
bool RunBriefly(const SpawnRequest& request, int waitMs) {
  pid_t pid = 0;
  if (SpawnChild(request, pid) != 0) return false;
  int status = 0;
  for (int waited = 0;; waited += 20) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (waited >= waitMs) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    timespec pause{0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

std::vector<std::uint8_t> RegText(const std::wstring& text) {
  std::string bytes = WideToUtf16Le(text);
  bytes.append(2, '\0');
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

bool PlacementOf(int style, WallpaperPlacement& placement) {
  static const WallpaperPlacement kPlacements[] = {
      {L"0", L"0", "centered"},  {L"0", L"1", "wallpaper"}, {L"2", L"0", "stretched"},
      {L"6", L"0", "scaled"},    {L"10", L"0", "zoom"},     {L"22", L"0", "spanned"},
  };
  if (style < 0 || style >= static_cast<int>(std::size(kPlacements))) return false;
  placement = kPlacements[style];
  return true;
}

bool LinuxActiveDesktop::SetWallpaper(const std::wstring& file) {
  file_ = file;
  return true;
}

bool LinuxActiveDesktop::SetWallpaperOptions(int style) {
  WallpaperPlacement placement;
  if (!PlacementOf(style, placement)) return false;  // E_INVALIDARG
  style_ = style;
  return true;
}

bool LinuxActiveDesktop::ApplyChanges(std::uint32_t flags) {
  WallpaperPlacement placement;
  PlacementOf(style_, placement);
  if (flags & kApplySave) {
    root_.Ensure();
    std::uint32_t error = registry_.Write(RegRoot::kCurrentUser, [&](const RegistryStore::KeyAccess& open) {
      RegistryKey* desktop = open(kDesktopKey, true);
      desktop->SetValue(L"Wallpaper", RegistryValue{win::kRegSz, RegText(file_)});
      desktop->SetValue(L"WallpaperStyle", RegistryValue{win::kRegSz, RegText(placement.wallpaperStyle)});
      desktop->SetValue(L"TileWallpaper", RegistryValue{win::kRegSz, RegText(placement.tileWallpaper)});
      return true;
    });
    if (error != 0) return false;
  }
  if (flags & kApplyRefresh) {
    // The desktop is a nicety: the registry holds the truth, so a desktop
    // that is absent or refuses the picture does not fail the change.
    std::string host;
    std::uint32_t error = 0;
    if (root_.ToHost(file_, host, error)) ShowOnDesktop(root_.PlainHost(host), placement);
  }
  return true;
}

bool LinuxActiveDesktop::ShowOnDesktop(const std::string& hostFile, const WallpaperPlacement& placement) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::string gsettings = FindOnPath("gsettings");
  if (gsettings.empty() || !bus || !*bus) return false;
  const std::string schema = "org.gnome.desktop.background";
  std::string uri = FileUri(hostFile);
  bool ok = true;
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"picture-uri", uri},
                                   {"picture-uri-dark", uri},
                                   {"picture-options", placement.pictureOptions}}) {
    SpawnRequest request;
    request.program = gsettings;
    request.args = {gsettings, "set", schema, key, value};
    // Older desktops have no dark picture; that key may fail alone.
    if (!RunBriefly(request, kDesktopWaitMs) && key != "picture-uri-dark") ok = false;
  }
  return ok;
}

}  // namespace kestrel
