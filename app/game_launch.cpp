#include "app/game_launch.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/nocase.h"
#include "text/path_buffer.h"

namespace kestrel {

bool LaunchGame(Platform& os, const LaunchContext& context) {
  if (context.game.mainExe.empty()) return false;
  std::wstring file = JoinPath(context.baseDir, context.game.mainExe);
  if (!PathFits(os, L"Execute", file)) return true;

  // The extension is what follows the path's last "." (the whole path
  // without one), so a folder "Ver1.2" with an extensionless game in it
  // gives "2\game": shown.
  std::size_t dot = file.rfind(L'.');
  std::wstring_view extension = dot == std::wstring::npos ? std::wstring_view(file)
                                                          : std::wstring_view(file).substr(dot + 1);
  int show = (EqualsNoCase(extension, L"bat") || EqualsNoCase(extension, L"cmd")) ? win::kSwHide
                                                                                  : win::kSwShowNormal;
  std::wstring workDir = DirectoryOf(file);
  os.ShellExecuteW(L"open", file, context.game.param, workDir, show);
  LogMessage(os, L"MSG: Execute: file=%s, param=%s, workdir=%s, code=%d",
             {file, context.game.param, workDir, LastErrorCode(os)});
  return true;
}

}  // namespace kestrel
