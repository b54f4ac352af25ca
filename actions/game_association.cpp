#include "actions/game_association.h"

#include "actions/file_deletion.h"
#include "actions/game_directory.h"
#include "core/log.h"
#include "text/path_buffer.h"
#include "util/file_tree.h"

namespace kestrel {

bool AssocToGid(Platform& os, LaunchContext& context) {
  // The Config.ini of the directory the launcher started with: the
  // deletion list below comes from it although baseDir moves first.
  std::wstring config = ConfigPath(context);
  if (!os.PathFileExistsW(config)) return false;
  std::wstring id = os.GetPrivateProfileStringW(L"game_base", L"assocToGid", L"", kMaxPath, config);
  if (id.empty()) return false;

  std::wstring directory;
  ResolveGameDirectory(os, id, directory);
  if (directory.empty() || !os.PathFileExistsW(directory)) return true;

  std::wstring source = context.baseDir;
  context.baseDir = directory;
  DeleteListedPaths(os, context, os.GetPrivateProfileStringW(L"action_first", L"delFileOrDirs", L"", kMaxPath, config));
  CopyDirectoryTree(os, source, directory, 0);
  context.chooserAllowed = false;
  LogMessage(os, L"MSG: assis to gid succeed, dir=%s, exe=%s, code=%d",
             {directory, context.game.mainExe, LastErrorCode(os)});
  return true;
}

}  // namespace kestrel
