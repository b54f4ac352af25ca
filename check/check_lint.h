#pragma once
// The one place where the linter's findings (check/lint/) join the plan's.

#include "check/finding.h"
#include "core/launch_context.h"
#include "platform/platform.h"

namespace kestrel::check {

/// Runs the GamePatch linter of the launch's game on a dry run over `os`
/// (it reads only) and appends its findings.
void AppendLintFindings(Platform& os, const LaunchContext& context, Findings& findings);

}  // namespace kestrel::check
