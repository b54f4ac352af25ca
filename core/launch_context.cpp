#include "core/launch_context.h"

#include "core/fitted_path.h"
#include "text/path_buffer.h"

namespace kestrel {

std::wstring GamePatchDir(const LaunchContext& context) { return JoinPath(context.baseDir, L"GamePatch\\"); }

std::wstring ConfigPath(const LaunchContext& context) { return GamePatchDir(context) + L"Config.ini"; }

std::wstring DirectoryOf(std::wstring_view path) {
  std::size_t cut = path.rfind(L'\\');
  if (cut == std::wstring_view::npos) return std::wstring();
  return FitBuffer(path.substr(0, cut));
}

}  // namespace kestrel
