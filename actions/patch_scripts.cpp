#include "actions/patch_scripts.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"

namespace kestrel {

bool RunPatchScripts(Platform& os, const LaunchContext& context) {
  std::wstring folder = GamePatchDir(context);

  std::wstring batch = folder + L"run.bat";
  if (PathFits(os, L"Excute bat", batch) && os.PathFileExistsW(batch)) {
    std::wstring workDir = DirectoryOf(batch);
    os.ShellExecuteW(L"open", batch, L"", workDir, win::kSwHide);
    LogMessage(os, L"MSG: Excute bat file=%s, workdir=%s, code=%d", {batch, workDir, LastErrorCode(os)});
  }

  std::wstring script = folder + L"run.vbs";
  if (PathFits(os, L"Excute vbs", script) && os.PathFileExistsW(script)) {
    std::wstring commandLine = L"wscript \"" + script + L"\"";
    Handle process = kNoHandle;
    if (commandLine.size() < kMaxPath) {
      os.CreateProcessW(commandLine, win::kNormalPriorityClass, win::kSwShow, L"", &process);
    } else {
      // A cut command line would lose the script's closing quote and run
      // whatever its first part names.
      os.SetLastError(win::kFilenameTooLong);
    }
    LogMessage(os, L"MSG: Excute vbs cmdline=%s, code=%d", {commandLine, LastErrorCode(os)});
    if (process != kNoHandle) os.CloseHandle(process);
  }
  return true;
}

}  // namespace kestrel
