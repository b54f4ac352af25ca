#include "actions/personalization.h"

#include "core/log.h"
#include "util/file_tree.h"

namespace kestrel {

namespace {

struct PersonalFolder {
  const wchar_t* name;
  int csidl;
};

/// In the order they are looked for; "CSIDL_MYDOCUMENTS" and
/// "CSIDL_PERSONAL" are the same folder, and the first one found wins.
constexpr PersonalFolder kPersonalFolders[] = {
    {L"CSIDL_APPDATA", 26},
    {L"CSIDL_ALTSTARTUP", 29},
    {L"CSIDL_COMMON_ALTSTARTUP", 30},
    {L"CSIDL_COMMON_APPDATA", 35},
    {L"CSIDL_COMMON_DOCUMENTS", 46},
    {L"CSIDL_COMMON_FAVORITES", 31},
    {L"CSIDL_COMMON_PROGRAMS", 23},
    {L"CSIDL_COMMON_STARTMENU", 22},
    {L"CSIDL_COOKIES", 33},
    {L"CSIDL_DESKTOPDIRECTORY", 16},
    {L"CSIDL_FAVORITES", 6},
    {L"CSIDL_FONTS", 20},
    {L"CSIDL_HISTORY", 34},
    {L"CSIDL_LOCAL_APPDATA", 28},
    {L"CSIDL_MYDOCUMENTS", 5},
    {L"CSIDL_PERSONAL", 5},
    {L"CSIDL_PROFILE", 40},
    {L"CSIDL_PROGRAM_FILES", 38},
    {L"CSIDL_PROGRAM_FILESX86", 42},
    {L"CSIDL_PROGRAM_FILES_COMMON", 43},
    {L"CSIDL_PROGRAM_FILES_COMMONX86", 44},
    {L"CSIDL_COMMON_DESKTOPDIRECTORY", 25},
    {L"CSIDL_PROGRAMS", 2},
    {L"CSIDL_RESOURCES", 56},
    {L"CSIDL_STARTMENU", 11},
    {L"CSIDL_STARTUP", 7},
    {L"CSIDL_SYSTEM", 37},
    {L"CSIDL_SYSTEMX86", 41},
    {L"CSIDL_WINDOWS", 36},
    {L"CSIDL_COMMON_MUSIC", 53},
    {L"CSIDL_COMMON_PICTURES", 54},
    {L"CSIDL_COMMON_VIDEO", 55},
    {L"CSIDL_MYMUSIC", 13},
    {L"CSIDL_MYPICTURES", 39},
    {L"CSIDL_MYVIDEO", 14},
};

}  // namespace

std::map<int, std::wstring> PersonalizationPlan(Platform& os, const LaunchContext& context) {
  std::wstring root = GamePatchDir(context);
  std::map<int, std::wstring> plan;
  for (const PersonalFolder& folder : kPersonalFolders) {
    std::wstring source = root + folder.name;
    if (os.PathFileExistsW(source)) plan.emplace(folder.csidl, source);
  }
  return plan;
}

bool CopyPersonalization(Platform& os, const LaunchContext& context) {
  for (const auto& [csidl, source] : PersonalizationPlan(os, context)) {
    LogMessage(os, L"MSG: DIR_SOURCE = %s", {source});
    if (!os.PathFileExistsW(source)) continue;
    std::wstring target = os.SHGetSpecialFolderPathW(csidl);
    LogMessage(os, L"MSG: DIR_TARGETDIR = %s", {target});
    if (target.empty()) {
      // Without a folder the files would land in the root of the current
      // drive.
      LogMessage(os, L"MSG: Copy passed over, %s has no special folder %d on this PC", {source, csidl});
      continue;
    }
    int overwrite = os.GetPrivateProfileIntW(L"personalization", L"overwrite", 0, ConfigPath(context));
    CopyDirectoryTree(os, source, target, overwrite == 0 ? 1 : 0);
    LogMessage(os, L"MSG: Copy succeed, %s => %s, code=%d", {source, target, LastErrorCode(os)});
  }
  return true;
}

}  // namespace kestrel
