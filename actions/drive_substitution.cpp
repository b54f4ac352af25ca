#include "actions/drive_substitution.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "text/path_buffer.h"
#include "util/drive_letters.h"

namespace kestrel {

namespace {

/// One hidden run of the subst program, waited for.  False when it is
/// still running after kSubstRunLimitMs: a program that hangs must not
/// hold the launch (and the player) forever.
bool RunSubst(Platform& os, const std::wstring& program, const std::wstring& parameters) {
  Handle process = kNoHandle;
  os.ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"", program, parameters, L"", win::kSwHide, &process);
  if (process == kNoHandle) return true;  // it did not start: nothing to wait for
  bool ended = os.WaitForSingleObject(process, kSubstRunLimitMs) != win::kWaitTimeout;
  os.CloseHandle(process);
  return ended;
}

/// The folder to map, as subst reads it between quotes.  A closing
/// backslash would stand before the closing quote, and the usual command
/// line rules read `\"` as a quote inside the path; a drive root keeps its
/// backslash, since "X:" alone names the drive's current folder.
std::wstring MappedFolder(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace

bool SubstFlag(Platform& os, LaunchContext& context) {
  if (os.GetPrivateProfileIntW(L"action_first", L"substFlag", 0, ConfigPath(context)) <= 0) return true;

  std::wstring program = GamePatchDir(context) + L"subst.exe";
  if (!PathFits(os, L"subst", program)) return true;
  if (!os.PathFileExistsW(program)) {
    // Without the program nothing can be mapped; waiting for the drive
    // would only cost the player 20 s and leave baseDir on a dead letter.
    LogMessage(os, L"MSG: subst false, EXE file not Exists => %s, code=%d", {program, LastErrorCode(os)});
    return true;
  }

  // The substitutions of earlier launches go first, so their letters are
  // free again.  Windows refuses to remove a real drive, so only
  // substitutions go.
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    std::wstring parameters = DriveName(letter) + L" /D";
    if (!RunSubst(os, program, parameters)) {
      LogMessage(os, L"MSG: subst false, EXE not ended => %s, param=%s", {program, parameters});
      return true;
    }
  }

  wchar_t letter = FindFreeDriveLetter(os);
  if (letter == 0) {
    // Later steps need baseDir to name the game's folder, so it stays.
    LogMessage(os, L"MSG: subst false, no free drive letter from D to Z, dir=%s", {context.baseDir});
    return true;
  }
  std::wstring drive = DriveName(letter);
  std::wstring parameters = drive + L" \"" + MappedFolder(context.baseDir) + L"\"";
  if (!RunSubst(os, program, parameters)) {
    LogMessage(os, L"MSG: subst false, EXE not ended => %s, param=%s", {program, parameters});
    return true;
  }

  // The probe goes through the new drive into the game's folder: once it
  // is there, the drive answers.
  std::wstring probe = drive + L"\\CheckExist.kestrel";
  if (!os.PathFileExistsW(probe)) {
    for (int i = 0; i < kProbeTries; ++i) {
      os.WriteFileBytes(probe, {});
      os.Sleep(kProbePauseMs);
      if (os.PathFileExistsW(probe)) break;
    }
  }
  os.DeleteFileW(probe);

  // A drive that never came up would send every later step and the game
  // itself to a letter that holds nothing.
  if (!os.PathFileExistsW(drive + L"\\")) {
    LogMessage(os, L"MSG: subst false, drive not reachable => %s, dir=%s, code=%d",
               {drive, context.baseDir, LastErrorCode(os)});
    return true;
  }
  LogMessage(os, L"MSG: subst succeed, drive=%s, dir=%s", {drive, context.baseDir});
  context.baseDir = drive;
  return true;
}

}  // namespace kestrel
