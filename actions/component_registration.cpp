#include "actions/component_registration.h"

#include <vector>

#include "actions/file_deletion.h"
#include "core/fitted_path.h"
#include "core/log.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kRegistrationPauseMs = 50;
}

bool RegisterComponent(Platform& os, const std::wstring& path) {
  std::wstring command = FormatWide(L"regsvr32 /s \"%s\"", {path});
  if (command.size() >= kMaxPath) {
    LogMessage(os, L"MSG: regsvr32 passed over, path too long => %s", {path});
    return true;
  }
  Handle process = kNoHandle;
  os.CreateProcessW(command, win::kNormalPriorityClass, win::kSwShow, L"", &process);
  LogMessage(os, L"MSG: regsvr32 success => %s, code=%d", {path, LastErrorCode(os)});
  // The registration is never waited for: its handle is of no further use.
  if (process != kNoHandle) os.CloseHandle(process);
  return true;
}

bool RegDlls(Platform& os, const LaunchContext& context) {
  std::wstring list = os.GetPrivateProfileStringW(L"action_first", L"regDlls", L"", kMaxPath, ConfigPath(context));
  std::vector<std::wstring> items;
  if (!SplitList(items, list)) return false;
  for (const std::wstring& item : items) {
    std::wstring path = ListedItemPath(context, item);
    if (PathFits(os, L"regsvr32", path) && os.PathFileExistsW(path)) RegisterComponent(os, path);
    os.Sleep(kRegistrationPauseMs);
  }
  return true;
}

}  // namespace kestrel
