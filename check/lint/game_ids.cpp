// Game ids that name no game on this PC: the launch is moved onto no other
// game ("assocToGid"), a template is not converted and the list ends there
// ("assocGids"), a program is not found ("[12345]\..." in "runFirstExe"),
// or a platform entry is not written ("[12345]\..." in a "platform_Game%d"
// section).  The ids are looked up in the game menu's records as the
// launcher looks them up.

#include "actions/game_directory.h"
#include "check/lint/known_keys.h"
#include "check/lint/lint_rules.h"
#include "core/split_list.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

constexpr std::size_t kMostAssocGids = 260;

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

/// The directory of game `id`; none when it has no record, empty when its
/// record gives no directory.
std::optional<std::wstring> GameDirectory(Platform& os, const std::wstring& id) {
  std::wstring directory;
  if (!ResolveGameDirectory(os, id, directory)) return std::nullopt;
  return directory;
}

/// "no record" or "a record without a directory", for a message.
std::string WhyUnresolved(const std::optional<std::wstring>& directory) {
  return directory ? "its record gives no directory" : "it has no record on this PC";
}

/// "[12345]" at the start of a value, its first "]" the seventh character.
std::optional<std::wstring> ReferencedId(std::wstring_view value) {
  if (value.empty() || value[0] != L'[' || value.find(L']') != 6) return std::nullopt;
  return std::wstring(value.substr(1, 5));
}

/// After "assocToGid" has moved the launch, every later step reads the
/// Config.ini of the other game's folder: what this one configures for
/// those steps is never read, and the chooser is never shown.
void ReportMovedLaunch(const LintInput& in, int line, const std::wstring& directory) {
  const ProfileText& profile = in.config.profile();
  std::vector<std::string> unread;
  if (const ProfileSection* first = profile.FindSection(L"action_first"))
    for (const ProfileKey& key : first->keys)
      if (!EqualsNoCase(key.name, L"delFileOrDirs")) {
        unread.push_back("[action_first] (but delFileOrDirs)");
        break;
      }
  for (const wchar_t* name : {L"action_after", L"dlg_config", L"1"})
    if (profile.FindSection(name))
      unread.push_back(name == std::wstring(L"1") ? "the prerequisite sections"
                                                  : std::string("[").append(U8(name)) + "]");
  for (const wchar_t* key : {L"CompatibilityMode", L"currntVer"})
    if (in.config.FindKey(L"game_base", key)) unread.push_back(U8(key));
  if (unread.empty()) return;
  std::string list;
  for (std::size_t i = 0; i < unread.size(); ++i) list += (i ? ", " : "") + unread[i];
  in.Add(Severity::kWarning, "moved-launch", line,
         "assocToGid moves the launch to " + U8(directory) + ": from then on the launcher reads " + U8(directory) +
             "GamePatch\\Config.ini, so " + list + " of this file are never read, and the chooser is not shown");
}

void CheckAssocToGid(const LintInput& in) {
  const std::wstring id = in.config.String(L"game_base", L"assocToGid");
  if (id.empty()) return;
  const int line = in.config.KeyLine(L"game_base", L"assocToGid");
  const std::optional<std::wstring> directory = GameDirectory(in.os, id);
  if (!directory || directory->empty()) {
    in.Add(
        Severity::kError, "unknown-game-id", line,
        "assocToGid names game " + U8(id) + ", but " + WhyUnresolved(directory) + ": the launch stays in this folder");
  } else if (!in.os.PathFileExistsW(*directory)) {
    in.Add(Severity::kError, "unknown-game-id", line,
           "assocToGid names game " + U8(id) + ", whose folder " + U8(*directory) +
               " is not there: the launch stays in this folder");
  } else {
    ReportMovedLaunch(in, line, *directory);
  }
}

void CheckAssocGids(const LintInput& in) {
  const std::wstring list = in.config.String(L"action_first", L"assocGids");
  if (list.empty()) return;
  const int line = in.config.KeyLine(L"action_first", L"assocGids");
  for (std::size_t index = 0; index < kMostAssocGids; ++index) {
    const std::optional<std::wstring> id = ListField(list, index);
    if (!id) return;
    if (id->empty()) {
      if (ListField(list, index + 1))
        in.Add(Severity::kError, "unknown-game-id", line,
               "assocGids has an empty item: the list ends there, and the ids after it are never converted");
      return;
    }
    const std::optional<std::wstring> directory = GameDirectory(in.os, *id);
    if (directory) continue;
    in.Add(Severity::kError, "unknown-game-id", line,
           "assocGids names game " + U8(*id) + ", but it has no record on this PC: its template is not converted" +
               (ListField(list, index + 1) ? std::string(", and the list ends there") : std::string()));
    return;
  }
}

void CheckRunPrograms(const LintInput& in) {
  for (const wchar_t* key : {L"runFirstExe", L"runFirstExe2"}) {
    const std::optional<std::wstring> id = ReferencedId(in.config.String(L"action_first", key));
    if (!id) continue;
    const std::optional<std::wstring> directory = GameDirectory(in.os, *id);
    if (directory && !directory->empty()) continue;
    in.Add(Severity::kError, "unknown-game-id", in.config.KeyLine(L"action_first", key),
           U8(key) + " names game " + U8(*id) + ", but " + WhyUnresolved(directory) +
               ": the value is handed to the shell as it stands, which finds no such file");
  }
}

void CheckPlatformValues(const LintInput& in) {
  const ProfileText& profile = in.config.profile();
  for (const ProfileSection& section : profile.sections()) {
    if (!MatchesPattern(L"platform_Game%d", section.name) || profile.FindSection(section.name) != &section) continue;
    for (const ProfileKey& key : section.keys) {
      if (!key.value) continue;
      const std::optional<std::wstring> id = ReferencedId(*key.value);
      if (!id) continue;
      const std::optional<std::wstring> directory = GameDirectory(in.os, *id);
      if (directory && !directory->empty()) continue;
      in.Add(Severity::kError, "unknown-game-id", in.config.LineOf(key.name),
             U8(key.name) + " names game " + U8(*id) + ", but " + WhyUnresolved(directory) +
                 ": the entry is not written to the platform file");
    }
  }
}

}  // namespace

void CheckGameIds(const LintInput& in) {
  CheckAssocToGid(in);
  CheckAssocGids(in);
  CheckRunPrograms(in);
  CheckPlatformValues(in);
}

}  // namespace kestrel::check
