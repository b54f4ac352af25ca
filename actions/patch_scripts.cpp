#include "actions/patch_scripts.h"

#include "app/log.h"
#include "util/path_buffer.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kErrorFilenameTooLong = 206;
}

bool RunPatchScripts(Platform& os, const LaunchContext& context) {
  std::wstring folder = GamePatchDir(context);

  std::wstring batch = FitBuffer(folder + L"run.bat");
  if (os.PathFileExistsW(batch)) {
    std::wstring workDir = DirectoryOf(batch);
    os.ShellExecuteW(L"open", batch, L"", workDir, win::kSwHide);
    LogMessage(os, L"MSG: Excute bat file=%s, workdir=%s, code=%d", {batch, workDir, LastErrorCode(os)});
  }

  std::wstring script = FitBuffer(folder + L"run.vbs");
  if (os.PathFileExistsW(script)) {
    std::wstring commandLine = L"wscript \"" + script + L"\"";
    Handle process = kNoHandle;
    if (commandLine.size() < kMaxPath) {
      os.CreateProcessW(commandLine, win::kNormalPriorityClass, win::kSwShow, L"", &process);
    } else {
      // A cut command line would lose the script's closing quote and run
      // whatever its first part names.
      os.SetLastError(kErrorFilenameTooLong);
    }
    LogMessage(os, L"MSG: Excute vbs cmdline=%s, code=%d", {commandLine, LastErrorCode(os)});
    if (process != kNoHandle) os.CloseHandle(process);
  }
  return true;
}

}  // namespace kestrel
