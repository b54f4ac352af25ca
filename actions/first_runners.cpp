#include "actions/first_runners.h"

#include "actions/run_path.h"
#include "core/log.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

std::wstring ReadAction(Platform& os, const LaunchContext& context, const wchar_t* key) {
  return os.GetPrivateProfileStringW(L"action_first", key, L"", kMaxPath, ConfigPath(context));
}

bool RunProgram(Platform& os, const LaunchContext& context, const wchar_t* exeKey, const wchar_t* paramKey) {
  std::wstring program = ReadAction(os, context, exeKey);
  std::wstring param = ReadAction(os, context, paramKey);
  if (program.empty()) return false;
  std::optional<std::wstring> resolved = ResolveRunPath(os, program, context);
  if (!resolved) return true;  // refused: a cut path would start another program
  const std::wstring& path = *resolved;
  if (!path.empty() && os.PathFileExistsW(path)) {
    os.ShellExecuteW(L"open", path, param, context.baseDir, win::kSwShowNormal);
    LogMessage(os, L"MSG: runpre file=%s, param=%s, workdir=%s, code=%d",
               {path, param, context.baseDir, LastErrorCode(os)});
  } else {
    os.ShellExecuteW(L"open", program, L"", L"", win::kSwShowNormal);
    LogMessage(os, L"MSG: runpre url=%s, code=%d", {program, LastErrorCode(os)});
  }
  return true;
}

}  // namespace

bool RunFirstUrl(Platform& os, const LaunchContext& context) {
  std::wstring url = ReadAction(os, context, L"runFirstUrl");
  if (url.empty()) return false;
  os.ShellExecuteW(L"open", url, L"", L"", win::kSwShowNormal);
  LogMessage(os, L"MSG: runurl=%s, code=%d", {url, LastErrorCode(os)});
  return true;
}

bool RunFirstExe(Platform& os, const LaunchContext& context) {
  return RunProgram(os, context, L"runFirstExe", L"runFirstParam");
}

bool RunFirstExe2(Platform& os, const LaunchContext& context) {
  return RunProgram(os, context, L"runFirstExe2", L"runFirstParam2");
}

}  // namespace kestrel
