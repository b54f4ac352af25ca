#include "actions/compatibility_mode.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel {

bool SetCompatibilityMode(Platform& os, const LaunchContext& context) {
  std::wstring config = ConfigPath(context);
  if (!os.PathFileExistsW(config)) return false;
  std::wstring mode = os.GetPrivateProfileStringW(L"game_base", L"CompatibilityMode", L"", kMaxPath, config);
  if (mode.empty()) return false;
  // The game's path is the value's name: a cut one would set the mode of
  // another program.
  std::wstring exe = JoinPath(context.baseDir, context.game.mainExe);
  if (!PathFits(os, L"SetCompatibilityMode", exe) || !os.PathFileExistsW(exe)) return true;
  std::string data = WideToUtf16Le(mode);
  data.append(2, '\0');  // REG_SZ data carries its terminator
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  if (os.SHSetValueW(RegRoot::kCurrentUser, kCompatibilityLayersKey, exe, win::kRegSz, bytes) == win::kSuccess)
    LogMessage(os, L"SetCompatibilityMode Succeed: mode=%s, code=%d", {mode, LastErrorCode(os)});
  return true;
}

}  // namespace kestrel
