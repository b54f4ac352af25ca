#include "check/launch_plan.h"

#include "app/base_values.h"
#include "app/command_line.h"
#include "chooser/chooser_config.h"
#include "chooser/chooser_layout.h"
#include "chooser/launch_chooser_sources.h"
#include "core/fitted_path.h"
#include "prereq/prerequisite_installer.h"
#include "skin/chooser_skin.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/utf.h"

#include <algorithm>

namespace kestrel::check {

namespace {

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }

std::string Quoted(std::wstring_view text) {
  std::string quoted = "\"";  // appended: GCC 12's -Wrestrict misreads "\"" + string at -O3
  quoted += Utf8(text);
  quoted += '"';
  return quoted;
}

PlanStep DescribePrerequisites(DryRunPlatform& os, const LaunchContext& context) {
  DryRunPlatform quiet(os, DryRunPlatform::Mode::kDryRun);  // its log lines stay out of the plan
  PrerequisiteInstaller installer(quiet);
  PlanStep step{"prerequisites", {}};
  if (!installer.LoadEntries(ConfigPath(context), context.baseDir)) {
    step.fields.emplace_back("sections", "0");
    step.notes.push_back("no " + Utf8(ConfigPath(context)) + ": nothing is checked or installed");
    return step;
  }
  installer.CheckAll();
  step.fields.emplace_back("sections", std::to_string(installer.entries().size()));
  int section = 0;
  for (const PrerequisiteEntry& entry : installer.entries()) {
    std::string check;
    switch (entry.checkType) {
      case FileVersion:
        check = "the file version of " + Quoted(entry.checkPath) + " is " + Quoted(entry.checkVerion);
        break;
      case UninstallKey: check = "an uninstall key named in " + Quoted(entry.checkPath) + " exists"; break;
      default: check = "a path named in " + Quoted(entry.checkPath) + " exists"; break;
    }
    const std::wstring installer = JoinPath(context.baseDir, entry.instFile);
    std::string verdict = entry.state == Present ? "present, nothing to install"
                          : quiet.PathFileExistsW(installer)
                              ? "missing: installer " + Quoted(installer) + " " + Utf8(entry.instParam) +
                                    " runs and is waited for"
                              : "missing, and its installer " + Quoted(installer) + " is not there: nothing runs";
    std::string note = "[";  // appended throughout: GCC 12's -Wrestrict misreads "[" + string at -O3
    note += std::to_string(++section);
    note += "] ";
    note += Utf8(entry.instName);
    note += ": ";
    note += check;
    note += " -> ";
    note += verdict;
    step.notes.push_back(std::move(note));
  }
  return step;
}

PlanStep DescribeChooser(DryRunPlatform& os, LaunchContext& context) {
  DryRunPlatform quiet(os, DryRunPlatform::Mode::kDryRun);
  LaunchChooserSources sources(quiet, context);
  PlanStep step{"chooser", {}};
  ChooserSkin skin;
  ChooserConfig config;
  bool skinLoaded = sources.LoadChooserSkin(skin);
  bool configLoaded = skinLoaded && sources.LoadChooserConfig(config);
  for (const PlanStep& seen : quiet.plan())
    if (seen.action == "message-box") step.notes.push_back("shows the message box " + *seen.Field("text"));
  if (!skinLoaded || !configLoaded) {
    step.fields.emplace_back("opens", "no");
    step.ok = false;
    step.notes.push_back(!skinLoaded ? "the skin (GamePatch\\res.dat) does not load: no window, the game starts at once"
                                     : "Config.ini cannot be read: no window, the game starts at once");
    return step;
  }
  step.fields.emplace_back("opens", "yes");
  step.fields.emplace_back("title", Utf8(config.title));
  step.fields.emplace_back("buttons", std::to_string(config.entries.size()));
  step.outcomeUnknown = true;

  const std::wstring current =
      quiet.GetPrivateProfileStringW(L"game_base", L"currntVer", L"", kMaxPath, ConfigPath(context));
  Size background{skin.backgroundImage->Width(), skin.backgroundImage->Height()};
  Size face{skin.buttonImage->Width(), skin.buttonImage->Height()};
  std::vector<Placement> places = VersionButtonPlacements(background, face, config.entries.size());
  for (std::size_t i = 0; i < config.entries.size(); ++i) {
    const VersionEntry& entry = *config.entries[i];
    std::string program = Quoted(JoinPath(context.baseDir, entry.exeName));
    std::string action;
    if (context.game.mainExe.empty())
      action = "opens " + program + " " + Utf8(entry.parameters);
    else if (EqualsNoCase(current, entry.version))
      action = "version " + Quoted(entry.version) + " is current: nothing runs";
    else
      action = "runs " + program + " " + Utf8(entry.parameters) + ", waits for it, sets currntVer=" + Utf8(entry.version);
    action += entry.closeMode == kKeepOpen ? "; the window stays open" : "; the window closes and the game starts";
    const Placement& at = places[i];
    if (at.y < 0 || at.y + at.height > background.height) action += "; the button lies (partly) outside the window";
    step.notes.push_back("button " + std::to_string(i + 1) + " " + Quoted(entry.caption) + ": " + action);
  }
  step.notes.push_back("the buttons minimize, maximize (does nothing) and close (ends the launch without the game)");
  step.notes.push_back("the player's choice decides what follows: the plan goes on as if the window closed with OK");
  return step;
}

}  // namespace

LaunchTarget TargetFor(Platform& os, const std::wstring& argument, const std::wstring& launcherPath) {
  std::wstring folder = os.NativePathToWindows(argument);
  if (argument.find(L'|') == std::wstring::npos && os.PathIsDirectoryW(folder)) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    std::wstring launcher = JoinPath(folder, PathFindFileName(launcherPath));
    return {L"\"" + launcher + L"\"", launcher};
  }
  return {L"\"" + launcherPath + L"\" " + argument, launcherPath};
}

void AnnotateLaunch(DryRunPlatform& os, CKestrelExApp& app) {
  os.SetWorkerAnnotator([&os, &app] { return DescribePrerequisites(os, app.context()); });
  os.SetChooserAnnotator([&os](LaunchContext& context) { return DescribeChooser(os, context); });
}

void MarkGameStart(Plan& plan, const LaunchContext& context) {
  if (context.game.mainExe.empty()) return;
  const std::string file = Utf8(JoinPath(context.baseDir, context.game.mainExe));
  for (auto step = plan.rbegin(); step != plan.rend(); ++step) {
    if (step->action != "start") continue;
    const std::string* started = step->Field("file");
    if (started && *started == file && *step->Field("how") == "shell open") {
      step->action = "game";
      return;
    }
  }
}

CheckResult CheckLaunch(Platform& real, const LaunchTarget& target) {
  DryRunPlatform os(real, DryRunPlatform::Mode::kDryRun);
  os.SetCommandLine(target.commandLine);
  os.SetModuleFileName(target.launcherPath);
  CKestrelExApp app(os);
  AnnotateLaunch(os, app);
  app.InitInstance();

  CheckResult result;
  {
    // The game as the launcher first reads it, for what is checked beside
    // the plan; the same two readers the application object calls.
    DryRunPlatform quiet(real, DryRunPlatform::Mode::kDryRun);
    std::wstring tail = CommandLineTail(target.commandLine);
    std::wstring own = target.launcherPath;
    PathRemoveFileSpec(own);
    if (tail.empty())
      LoadBaseValues(quiet, result.initialContext, own);
    else
      ParseCommandLine(quiet, tail, result.initialContext);
  }
  result.context = app.context();
  result.plan = os.TakePlan();
  MarkGameStart(result.plan, result.context);

  const std::wstring config = ConfigPath(result.context);
  bool gameStarts = false;
  for (const PlanStep& step : result.plan) {
    if (step.action == "game") gameStarts = gameStarts || step.ok;
    if ((step.action == "game" || step.action == "start") && !step.ok)
      result.findings.push_back({Severity::kError, "start-fails", config, 0,
                                 "the launch would fail to start " + *step.Field("file") + ": it is not there"});
    if (step.action == "chooser" && !step.ok)
      result.findings.push_back({Severity::kWarning, "chooser-not-shown", GamePatchDir(result.context) + L"res.dat", 0,
                                 "btnCount asks for the version chooser, but it would not open: " + step.notes.back()});
  }
  if (!gameStarts && !result.context.game.mainExe.empty() && result.findings.empty())
    result.findings.push_back({Severity::kError, "no-game-start", config, 0, "the launch would not start the game"});
  const bool wallpaper = std::any_of(result.plan.begin(), result.plan.end(),
                                     [](const PlanStep& step) { return step.action == "wallpaper"; });
  if (result.context.game.mainExe.empty() && !wallpaper)
    result.findings.push_back({Severity::kError, "no-game", config, 0,
                               "no game to start: the command line names none and [game_base] mainExe is empty"});
  return result;
}

}  // namespace kestrel::check
