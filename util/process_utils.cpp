#include "util/process_utils.h"

#include "core/log.h"
#include "text/nocase.h"

namespace kestrel {

bool KillProcessByName(Platform& os, const std::wstring& imageName) {
  Handle snapshot = os.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
  if (snapshot == kInvalidHandleValue) return false;
  bool found = false;
  ProcessEntry entry;
  for (bool more = os.Process32FirstW(snapshot, entry); more; more = os.Process32NextW(snapshot, entry)) {
    if (!EqualsNoCase(entry.exeFile, imageName)) continue;
    Handle process = os.OpenProcess(win::kProcessTerminate, false, entry.processId);
    os.TerminateProcess(process, 0);
    os.CloseHandle(process);
    LogMessage(os, L"MSG: kill succeed, name=%s, code=%d", {imageName, LastErrorCode(os)});
    found = true;
    break;
  }
  os.CloseHandle(snapshot);
  return found;
}

}  // namespace kestrel
