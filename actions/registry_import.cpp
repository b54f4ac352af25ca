#include "actions/registry_import.h"

#include "actions/game_directory.h"
#include "core/fitted_path.h"
#include "core/log.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr int kMaxAssocIds = 260;

// A converted file's name comes from the registry's game ids: it must not
// lead the file out of GamePatch.
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(std::wstring_view(L"\\/:\0", 4)) == std::wstring::npos;
}

// The template with every "|gamepath|" replaced, working on the UTF-16LE
// bytes themselves, so nothing beyond the template's own bytes is ever
// written and an odd trailing byte stays as it was.
std::string Replace(const std::string& bytes, const std::wstring& escapedDirectory) {
  const std::string pattern = WideToUtf16Le(L"|gamepath|");
  const std::string replacement = WideToUtf16Le(escapedDirectory);
  std::string out;
  out.reserve(bytes.size());
  std::size_t copied = 0;
  std::size_t pos = 0;
  while ((pos = bytes.find(pattern, pos)) != std::string::npos) {
    if (pos % 2 != 0) {  // only whole characters match
      ++pos;
      continue;
    }
    out.append(bytes, copied, pos - copied);
    out += replacement;
    pos += pattern.size();
    copied = pos;
  }
  out.append(bytes, copied, std::string::npos);
  return out;
}

std::wstring DoubleBackslashes(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    out += c;
    if (c == L'\\') out += L'\\';
  }
  return out;
}

}  // namespace

bool ConvertRegTemplate(Platform& os, const std::wstring& name, const std::wstring& gameDirectory,
                        const LaunchContext& context) {
  std::wstring source = JoinPath(gameDirectory, L"GamePatch\\reg.cfg");
  if (!PathFits(os, L"Convert", source) || !os.PathFileExistsW(source)) return true;

  std::wstring target = GamePatchDir(context) + name + L".reg";
  if (!IsPlainFileName(name)) {
    os.SetLastError(win::kInvalidName);
    LogMessage(os, L"MSG: Convert failed, file=%s, code=%d", {target, LastErrorCode(os)});
    return true;
  }
  if (!PathFits(os, L"Convert", target)) return true;
  std::string bytes;
  if (!os.ReadFileBytes(source, bytes)) {
    // A template held by another program: the .reg of an earlier launch,
    // if any, stays as it was rather than being replaced by nothing.
    LogMessage(os, L"MSG: Convert failed, file=%s, code=%d", {source, LastErrorCode(os)});
    return true;
  }
  // A write that fails (a full disk) leaves the .reg of an earlier launch,
  // if any, whole: the writer replaces the file in one step.
  if (!os.WriteFileBytes(target, Replace(bytes, DoubleBackslashes(gameDirectory)))) {
    LogMessage(os, L"MSG: Convert failed, file=%s, code=%d", {target, LastErrorCode(os)});
    return true;
  }
  LogMessage(os, L"MSG: Convert succeed, file=%s, code=%d", {target, LastErrorCode(os)});
  return true;
}

bool RunAssocGids(Platform& os, const LaunchContext& context) {
  ConvertRegTemplate(os, L"reg", context.baseDir, context);
  std::wstring list = os.GetPrivateProfileStringW(L"action_first", L"assocGids", L"", kMaxPath, ConfigPath(context));
  if (list.empty()) return true;
  for (int index = 0; index < kMaxAssocIds; ++index) {
    std::optional<std::wstring> id = ListField(list, index);
    if (!id || id->empty()) break;
    std::wstring directory;
    bool found = ResolveGameDirectory(os, *id, directory);
    LogMessage(os, L"MSG: Assis gid' directory=%s, code=%d", {directory, LastErrorCode(os)});
    if (!found) break;
    ConvertRegTemplate(os, *id, directory, context);
  }
  return true;
}

bool ImportRegFiles(Platform& os, const LaunchContext& context) {
  std::wstring folder = GamePatchDir(context);
  std::wstring pattern = folder + L"*.reg";
  if (!PathFits(os, L"regedit", pattern)) return true;
  std::wstring system = os.SHGetSpecialFolderPathW(win::kCsidlSystem);
  FindDataW found;
  Handle find = os.FindFirstFileW(pattern, found);
  if (find == kInvalidHandleValue) return true;
  do {
    if (found.attributes & win::kFileAttributeDirectory) continue;
    std::wstring file = folder + found.fileName;
    if (!PathFits(os, L"regedit", file)) continue;
    os.ShellExecuteW(L"open", L"Regedit.exe", L"/s \"" + file + L"\"", system, win::kSwHide);
    LogMessage(os, L"MSG: regedit succeed, file=%s, code=%d", {file, LastErrorCode(os)});
    os.Sleep(50);
  } while (os.FindNextFileW(find, found));
  os.FindClose(find);
  return true;
}

}  // namespace kestrel
