// Side files that Config.ini or the command line names and that are not
// there: the game itself, the installers of the prerequisite sections,
// "subst.exe", the Virtual Drive Manager and its image, the "regDlls"
// items, the programs of the first runners, of "RunAfterExe" and of the
// version buttons; and scripts in GamePatch whose names miss "run.bat" or
// "run.vbs", the only two the launcher runs.

#include "actions/run_path.h"
#include "check/lint/lint_rules.h"
#include "prereq/prerequisite_installer.h"
#include "chooser/chooser_config.h"
#include "chooser/chooser_ids.h"
#include "core/fitted_path.h"
#include "core/split_list.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {


std::string U8(std::wstring_view text) { return WideToUtf8(text); }

/// Line number for a file named on the command line, not in Config.ini.
constexpr int kCommandLine = -1;

/// A finding when `path` (built by the launcher for a 260-character
/// buffer) does not fit or names nothing; `consequence` says what the
/// launcher then does.
void Require(const LintInput& in, Severity severity, int line, const std::string& what, const std::wstring& path,
             const std::string& consequence) {
  auto add = [&](Severity s, std::string message) {
    if (line == kCommandLine)
      in.AddFor(s, "missing-file", L"", 0, std::move(message));
    else
      in.Add(s, "missing-file", line, std::move(message));
  };
  if (path.size() >= kMaxPath) {
    add(Severity::kError, what + " path is " + std::to_string(path.size()) +
                              " characters long, more than the launcher's 259: it is passed over (" +
                              U8(path.substr(0, 60)) + "...)");
    return;
  }
  if (in.os.PathFileExistsW(path)) return;
  add(severity, what + " " + U8(path) + " is not there: " + consequence);
}

/// True for a value the shell opens as an address rather than a file.
bool LooksLikeAnAddress(std::wstring_view value) {
  return value.find(L"://") != std::wstring_view::npos || value.starts_with(L"www.") || value.starts_with(L"mailto:");
}

void CheckPrerequisiteInstallers(const LintInput& in) {
  for (int n = 1; n <= kLastPrerequisiteSection; ++n) {
    const std::wstring section = std::to_wstring(n);
    const int type = in.config.Int(section, L"checkType");
    if (type < 1 || type > 3) break;
    const std::wstring file = in.config.String(section, L"instFile");
    const int line = in.config.KeyLine(section, L"instFile");
    if (file.empty()) {
      in.Add(Severity::kError, "missing-file", line ? line : in.config.SectionLine(section),
             std::string("[").append(U8(section)) +
                 "] names no instFile: when its check finds the package missing, the launcher tries "
                 "to start the game's folder and installs nothing");
      continue;
    }
    Require(in, Severity::kError, line, "the installer of [" + U8(section) + "],", JoinPath(in.context.baseDir, file),
            "when its check finds the package missing, nothing installs it");
  }
}

void CheckDriveFiles(const LintInput& in) {
  const std::wstring patch = GamePatchDir(in.context);
  if (in.config.Int(L"action_first", L"substFlag") > 0)
    Require(in, Severity::kError, in.config.KeyLine(L"action_first", L"substFlag"), "the drive-substitution program",
            patch + L"subst.exe",
            "no drive is mapped, the launcher waits 20 seconds for it and then runs the game through a drive "
            "letter that names nothing");
  const std::wstring image = in.config.String(L"action_first", L"virtualDriveFile");
  if (image.empty()) return;
  const int line = in.config.KeyLine(L"action_first", L"virtualDriveFile");
  const std::wstring program = patch + L"Virtual Drive Manager\\Virtual Drive Manager.exe";
  Require(in, Severity::kError, line, "the virtual-drive program", program, "no image is mounted");
  Require(in, Severity::kError, line, "the disc image", patch + image, "no image is mounted");
}

void CheckComponents(const LintInput& in) {
  std::vector<std::wstring> items;
  if (!SplitList(items, in.config.String(L"action_first", L"regDlls"))) return;
  const int line = in.config.KeyLine(L"action_first", L"regDlls");
  for (const std::wstring& item : items) {
    if (item.empty()) continue;  // the base folder itself: there, and handed to regsvr32
    Require(in, Severity::kError, line, "the regDlls item", JoinPath(in.context.baseDir, item),
            "it is passed over, nothing registers it");
  }
}

void CheckPrograms(const LintInput& in) {
  if (!in.context.game.mainExe.empty() && in.config.Int(L"action_first", L"substFlag") <= 0 &&
      in.config.String(L"game_base", L"assocToGid").empty())
    Require(in, Severity::kError, kCommandLine, "the game", JoinPath(in.context.baseDir, in.context.game.mainExe),
            "the launch starts nothing");
  for (const wchar_t* key : {L"runFirstExe", L"runFirstExe2"}) {
    const std::wstring value = in.config.String(L"action_first", key);
    if (value.empty() || LooksLikeAnAddress(value)) continue;
    const int line = in.config.KeyLine(L"action_first", key);
    // The launcher's own resolution: the game folder, a game id's folder
    // or the application-data folder.
    const std::optional<std::wstring> path = ResolveRunPath(in.os, value, in.context);
    if (!path) {
      in.Add(Severity::kError, "missing-file", line,
             "the program of " + U8(key) + " resolves to a path longer than 259 characters: it is passed over");
      continue;
    }
    if (path->empty()) continue;  // a game id without a folder: another rule's
    Require(in, Severity::kWarning, line, "the program of " + U8(key), *path,
            "the value is handed to the shell as it stands, without its parameters");
  }
  const std::wstring after = in.config.String(L"action_after", L"RunAfterExe");
  if (!after.empty())
    Require(in, Severity::kWarning, in.config.KeyLine(L"action_after", L"RunAfterExe"), "the follow-up program",
            JoinPath(in.context.baseDir, after), "nothing is started after the game");
  const int buttons = std::min({in.config.Int(L"dlg_config", L"btnCount"), kActingVersionButtons, kMostVersionEntries});
  for (int n = 1; n <= buttons; ++n) {
    const std::wstring key = L"btn" + std::to_wstring(n) + L"Exe";
    const std::wstring exe = in.config.String(L"dlg_config", key);
    if (exe.empty()) continue;
    Require(in, Severity::kError, in.config.KeyLine(L"dlg_config", key),
            "the program of version button " + std::to_string(n), JoinPath(in.context.baseDir, exe),
            in.context.game.mainExe.empty() ? "the button starts nothing"
                                            : "the button switches no version and records none");
  }
}

/// Files in GamePatch whose names look like "run.bat" or "run.vbs" but are
/// not: "run.bat.txt" (an editor's extension hidden by Explorer), "run.cmd".
void CheckScriptNames(const LintInput& in) {
  const std::wstring patch = GamePatchDir(in.context);
  FindDataW data;
  Handle find = in.os.FindFirstFileW(patch + L"run*", data);
  if (find == kInvalidHandleValue) return;
  do {
    const std::wstring& name = data.fileName;
    if ((data.attributes & win::kFileAttributeDirectory) || EqualsNoCase(name, L"run.bat") ||
        EqualsNoCase(name, L"run.vbs"))
      continue;
    if (name.size() < 4 || !EqualsNoCase(std::wstring_view(name).substr(0, 4), L"run.")) continue;
    in.AddFor(Severity::kWarning, "missing-file", patch + name, 0,
              "GamePatch holds " + U8(name) + ", which the launcher never runs: it runs only run.bat and run.vbs");
  } while (in.os.FindNextFileW(find, data));
  in.os.FindClose(find);
}

}  // namespace

void CheckSideFiles(const LintInput& in) {
  CheckPrograms(in);
  CheckScriptNames(in);
  CheckDriveFiles(in);
  CheckComponents(in);
  CheckPrerequisiteInstallers(in);
}

}  // namespace kestrel::check
