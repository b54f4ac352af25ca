#include "chooser/version_action.h"

#include "core/log.h"
#include "text/nocase.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

void LogStartFailure(Platform& os, const std::wstring& file, const VersionEntry& entry, const std::wstring& workDir,
                     int code) {
  LogMessage(os, L"MSG: btnevent failed, file=%s, param=%s, workdir=%s, code=%d",
             {file, entry.parameters, workDir, code});
}

}  // namespace

void RunVersionAction(Platform& os, const LaunchContext& context, const VersionEntry& entry) {
  const std::wstring& mainExe = context.game.mainExe;
  const std::wstring configFile = ConfigPath(context);
  const std::wstring current = os.GetPrivateProfileStringW(L"game_base", L"currntVer", L"", kMaxPath, configFile);
  const std::wstring& workDir = context.baseDir;

  // A path that does not fit is refused, never cut: a cut path could name
  // another program.
  std::wstring program = context.baseDir;
  const bool fits = PathAddBackslash(program) && program.size() + entry.exeName.size() < kMaxPath;
  if (fits) program += entry.exeName;
  if (!fits) {
    LogStartFailure(os, program + entry.exeName, entry, workDir, static_cast<int>(win::kFilenameTooLong));
    return;
  }

  if (mainExe.empty()) {
    os.ShellExecuteW(L"open", program, entry.parameters, workDir, win::kSwShowNormal);
    LogMessage(os, L"MSG: btnevent excute file=%s, param=%s, workdir=%s, code=%d",
               {program, entry.parameters, workDir, LastErrorCode(os)});
    return;
  }
  if (EqualsNoCase(current, entry.version)) return;

  // The quotes and the space are there even without parameters.
  const std::wstring commandLine = L"\"" + program + L"\" " + entry.parameters;
  if (commandLine.size() >= kVersionCommandLineChars) {
    LogStartFailure(os, program, entry, workDir, static_cast<int>(win::kFilenameTooLong));
    return;
  }
  Handle process = kNoHandle;
  if (!os.CreateProcessW(commandLine, win::kNormalPriorityClass, win::kSwShowNormal, workDir, &process)) {
    LogStartFailure(os, program, entry, workDir, LastErrorCode(os));
    return;
  }
  os.WaitForSingleObject(process, win::kInfinite);
  os.CloseHandle(process);
  os.WritePrivateProfileStringW(L"game_base", std::wstring(L"currntVer"), entry.version, configFile);
}

}  // namespace kestrel
