#include "tools/kestrel_skin/skin_preview.h"

#include <filesystem>

#include "chooser/launch_chooser_sources.h"
#include "chooser/linux/chooser_view.h"
#include "platform/platform.h"
#include "text/nocase.h"
#include "text/path_buffer.h"

namespace kestrel {

int RunSkinPreview(Platform& os, const std::wstring& gamePatch, const std::string& outPng, std::ostream& err) {
  // A relative host path is taken from the current directory.
  std::wstring folder = gamePatch;
  if (!folder.empty() && folder[0] != L'/' && folder.find(L':') == std::wstring::npos)
    folder = std::filesystem::absolute(std::filesystem::path(gamePatch)).wstring();
  folder = os.NativePathToWindows(folder);
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (!EqualsNoCase(PathFindFileName(folder), L"GamePatch")) {
    err << "KestrelSkin preview: the folder must be a game's GamePatch folder\n";
    return 2;
  }
  LaunchContext context;
  context.baseDir = folder;
  PathRemoveFileSpec(context.baseDir);
  LaunchChooserSources sources(os, context);
  ChooserView view;
  if (!view.Create(os, sources)) {
    err << "KestrelSkin preview: the chooser would not open (the launcher's line above says why)\n";
    return 1;
  }
  view.ComposeBackground();
  CairoSurface frame = view.RenderFrame();
  if (cairo_surface_write_to_png(frame.get(), outPng.c_str()) != CAIRO_STATUS_SUCCESS) {
    err << "KestrelSkin preview: cannot write " << outPng << "\n";
    return 1;
  }
  return 0;
}

}  // namespace kestrel
