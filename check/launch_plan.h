#pragma once
// The plan of a launch: the launcher's own sequence (CKestrelExApp) run on
// the dry-run platform, with the parts a platform call cannot tell
// described beside it: which checks decided the prerequisites, what the
// chooser would show, which start is the game's.

#include <string>

#include "app/kestrel_app.h"
#include "check/dry_run_platform.h"
#include "check/finding.h"
#include "check/plan.h"

namespace kestrel::check {

/// The launch a check stands for: the launcher's command line (its own
/// path first) and the launcher's path.
struct LaunchTarget {
  std::wstring commandLine;
  std::wstring launcherPath;
};

/// The launch an operator names: a game folder (a Windows path, or this
/// system's own) is the launcher started without arguments from that
/// folder, which reads the game from its GamePatch\Config.ini; anything
/// else is the launcher's command line, for the launcher at `launcherPath`.
LaunchTarget TargetFor(Platform& os, const std::wstring& argument, const std::wstring& launcherPath);

/// Sets the annotations of a plan on `os` for the launch of `app`: the
/// prerequisite checks when the worker starts, the chooser when it would
/// open.  Both read through `os` and change nothing.
void AnnotateLaunch(DryRunPlatform& os, CKestrelExApp& app);

/// Marks the game's own start ("game") once the launch is over.
void MarkGameStart(Plan& plan, const LaunchContext& context);

struct CheckResult {
  Plan plan;
  Findings findings;
  LaunchContext context;  ///< as the launch left it
  LaunchContext initialContext;  ///< as the command line (or Config.ini) gave it, before any action
};

/// Runs the launch of `target` on a dry run over `real` and returns its
/// plan, with the findings the plan itself shows (a game that would not
/// start, a chooser that would not open).
CheckResult CheckLaunch(Platform& real, const LaunchTarget& target);

}  // namespace kestrel::check
