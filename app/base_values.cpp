#include "app/base_values.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"

namespace kestrel {

bool LoadBaseValues(Platform& os, LaunchContext& context, const std::wstring& ownDirectory) {
  std::wstring config = ownDirectory + L"\\GamePatch\\Config.ini";
  context.baseDir = ownDirectory;
  if (PathFits(os, L"Init base value", config) && os.PathFileExistsW(config)) {
    context.game.mainExe = os.GetPrivateProfileStringW(L"game_base", L"mainExe", L"", kMaxPath, config);
    context.game.param = os.GetPrivateProfileStringW(L"game_base", L"param", L"", kMaxPath, config);
  }
  LogMessage(os, L"MSG: Init base value from config file succeed, dir=%s, exe=%s, param=%s, code=%d",
             {context.baseDir, context.game.mainExe, context.game.param, LastErrorCode(os)});
  return true;
}

}  // namespace kestrel
