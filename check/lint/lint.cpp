#include "check/lint/lint.h"

#include "check/lint/lint_rules.h"

namespace kestrel::check {

Findings Lint(Platform& platform, const LaunchContext& context) {
  Findings findings;
  const std::wstring path = ConfigPath(context);
  std::uint32_t error = 0;
  std::optional<ConfigFile> config = ReadConfigFile(platform, path, error);
  if (!config) {
    // The launcher reads a file it cannot open as an empty one: nothing
    // configured in it happens.
    if (error != 0)
      findings.push_back(Finding{Severity::kError, "config-unreadable", path, 0,
                                 "Config.ini cannot be read (Windows error " + std::to_string(error) +
                                     "): the launch runs as if it had no configuration"});
    return findings;
  }
  const LintInput in{platform, context, *config, findings};
  CheckConfigEncoding(in);
  CheckNumberedLists(in);
  CheckPrerequisiteVersions(in);
  CheckUnknownKeys(in);
  CheckCutValues(in);
  CheckSideFiles(in);
  CheckDeletionItems(in);
  CheckGameIds(in);
  CheckVersionButtons(in);
  CheckSkin(in);
  return findings;
}

}  // namespace kestrel::check
