#include "actions/run_path.h"

#include "actions/game_directory.h"
#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

// The value from `position` on; a value shorter than that reads as the
// zeros that follow it in its buffer, so as nothing.
std::wstring TailFrom(const std::wstring& value, std::size_t position) {
  return position < value.size() ? value.substr(position) : std::wstring();
}
}  // namespace

std::optional<std::wstring> ResolveRunPath(Platform& os, const std::wstring& value, const LaunchContext& context) {
  std::wstring out;
  std::size_t open = value.find(L'[');
  std::size_t close = value.find(L']');
  if (open == 0 && close == 6) {
    std::wstring directory;
    ResolveGameDirectory(os, value.substr(1, 5), directory);
    if (!directory.empty()) out = JoinPath(directory, TailFrom(value, 8));
  } else if (open == 0 && close == 8) {
    std::wstring appData = os.SHGetSpecialFolderPathW(win::kCsidlAppData);
    // Without an application-data folder the value names no program here,
    // rather than one in the root of the current drive.
    if (!appData.empty()) out = appData + L"\\" + TailFrom(value, 10);
  } else {
    out = JoinPath(context.baseDir, value);
  }
  if (!PathFits(os, L"runpre", out)) return std::nullopt;
  LogMessage(os, L"MSG: runpre=%s, code=%d", {out, LastErrorCode(os)});
  return out;
}

}  // namespace kestrel
