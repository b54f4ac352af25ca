#include "actions/after_actions.h"

#include "core/fitted_path.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "util/process_utils.h"

namespace kestrel {

bool RunAfterActions(Platform& os, const LaunchContext& context) {
  std::wstring config = ConfigPath(context);
  // The pause also delays the terminations that follow, so it comes first
  // whether or not there is a follow-up program.
  int pause = os.GetPrivateProfileIntW(L"action_after", L"sleep", 0, config);
  if (pause > 0) os.Sleep(static_cast<std::uint32_t>(pause));
  std::wstring program = os.GetPrivateProfileStringW(L"action_after", L"RunAfterExe", L"", kMaxPath, config);
  std::wstring param = os.GetPrivateProfileStringW(L"action_after", L"RunAfterParam", L"", kMaxPath, config);
  if (program.empty()) return false;
  std::wstring file = JoinPath(context.baseDir, program);
  if (!PathFits(os, L"RunAfterExe", file)) return true;
  os.ShellExecuteW(L"open", file, param, DirectoryOf(file), win::kSwShowNormal);
  return true;
}

bool KillConfiguredProcesses(Platform& os, const LaunchContext& context) {
  std::wstring names = os.GetPrivateProfileStringW(L"action_after", L"killProNames", L"", kMaxPath, ConfigPath(context));
  std::vector<std::wstring> items;
  if (!SplitList(items, names)) return false;
  // Every item costs its pause, empty ones too.
  for (const std::wstring& name : items) {
    KillProcessByName(os, name);
    os.Sleep(50);
  }
  return true;
}

}  // namespace kestrel
