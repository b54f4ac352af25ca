#include "app/launch_context.h"

#include "util/path_buffer.h"

namespace kestrel {

std::wstring GamePatchDir(const LaunchContext& context) {
  std::wstring dir = FitBuffer(context.baseDir);
  PathAddBackslash(dir);
  StrCatBuff(dir, L"GamePatch\\");
  return dir;
}

std::wstring ConfigPath(const LaunchContext& context) {
  std::wstring path = GamePatchDir(context);
  StrCatBuff(path, L"Config.ini");
  return path;
}

std::wstring DirectoryOf(std::wstring_view path) {
  std::size_t cut = path.rfind(L'\\');
  if (cut == std::wstring_view::npos) return std::wstring();
  return FitBuffer(path.substr(0, cut));
}

}  // namespace kestrel
