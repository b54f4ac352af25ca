#pragma once
// The linter's rules, each a function that adds its findings for one
// Config.ini.  One file per rule; lint.cpp runs them in this order.

#include <string>

#include "check/finding.h"
#include "check/lint/config_file.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel::check {

/// What every rule reads: the machine (reads only), the launch and its
/// Config.ini; and where the findings go.
struct LintInput {
  Platform& os;
  const LaunchContext& context;
  const ConfigFile& config;
  Findings& findings;

  void Add(Severity severity, const char* rule, int line, std::string message) const {
    findings.push_back(Finding{severity, rule, config.path(), line, std::move(message)});
  }
  /// A finding about another file than Config.ini.
  void AddFor(Severity severity, const char* rule, const std::wstring& file, int line, std::string message) const {
    findings.push_back(Finding{severity, rule, file, line, std::move(message)});
  }
};

/// "section-gap", "button-gap": numbered sections and keys the launcher
/// never reaches.
void CheckNumberedLists(const LintInput& in);
/// "unknown-key", "unknown-section", "duplicate-key", "duplicate-section":
/// what no action reads, with the known name nearest to a typo.
void CheckUnknownKeys(const LintInput& in);
/// "value-cut": values the launcher reads only in part.
void CheckCutValues(const LintInput& in);
/// "config-encoding": a Config.ini Windows would read in another encoding.
void CheckConfigEncoding(const LintInput& in);
/// "missing-file": side files named and not there, or misnamed.
void CheckSideFiles(const LintInput& in);
/// "delete-skipped": deletion items the launcher passes over, and why.
void CheckDeletionItems(const LintInput& in);
/// "unknown-game-id": game ids with no record, or none with a directory;
/// "moved-launch": what a launch moved onto another game no longer reads.
void CheckGameIds(const LintInput& in);
/// "skin-name", "skin-image" (and "missing-file" for res.dat and its
/// images): the chooser's skin as the launcher will load it.
void CheckSkin(const LintInput& in);
/// "version-form": a file-version prerequisite's checkVerion that no file
/// version can equal.
void CheckPrerequisiteVersions(const LintInput& in);
/// "too-many-buttons": version buttons beyond the 20 that act.
void CheckVersionButtons(const LintInput& in);

}  // namespace kestrel::check
