#include "actions/virtual_drive.h"

#include <vector>

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"
#include "util/drive_letters.h"
#include "util/registry_helpers.h"

namespace kestrel {

bool VirtualDriveFile(Platform& os, const LaunchContext& context) {
  std::wstring image = os.GetPrivateProfileStringW(L"action_first", L"virtualDriveFile", L"", kMaxPath,
                                                   ConfigPath(context));
  if (image.empty()) return true;

  std::wstring folder = GamePatchDir(context);
  std::wstring program = folder + L"Virtual Drive Manager\\Virtual Drive Manager.exe";
  if (!PathFits(os, L"Virtual Drive Manager", program)) return false;
  if (!os.PathFileExistsW(program)) {
    LogMessage(os, L"MSG: Virtual Drive Manager Load false, EXE file not Exists => %s, code=%d",
               {program, LastErrorCode(os)});
    return false;
  }
  image = folder + image;
  if (!PathFits(os, L"Virtual Drive Manager", image)) return false;
  if (!os.PathFileExistsW(image)) {
    LogMessage(os, L"MSG: Virtual Drive Manager Load false, ISO file not Exists => %s, code=%d",
               {image, LastErrorCode(os)});
    return false;
  }

  wchar_t letter = FindFreeDriveLetter(os);
  if (letter != 0) {
    // The manager mounts what its settings name when it starts.
    WriteDriveManagerMounts(os, {DriveName(letter), L"auto detect", L"disabled", image, L"1"});
    SetDriveManagerOption(os, L"MountPrevious");
    SetDriveManagerOption(os, L"XbtnQuit");
  }
  os.ShellExecuteW(L"open", program, L"", DirectoryOf(program), win::kSwShowMinimized);

  // Without a letter there is no drive to see; the manager still gets the
  // full wait to mount what it mounted before.
  std::wstring root = DriveName(letter) + L"\\";
  for (int pauses = 0; !(letter && os.PathFileExistsW(root)) && pauses < kDriveWaitPauses; ++pauses)
    os.Sleep(kDriveWaitPauseMs);
  LogMessage(os, L"MSG: Virtual Drive Manager Load success.");
  return true;
}

}  // namespace kestrel
