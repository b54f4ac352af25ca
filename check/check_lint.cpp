#include "check/check_lint.h"

#include "check/dry_run_platform.h"

#if KESTREL_CHECK_LINT
#include "check/lint/lint.h"
#endif

namespace kestrel::check {

void AppendLintFindings(Platform& os, const LaunchContext& context, Findings& findings) {
  DryRunPlatform readOnly(os, DryRunPlatform::Mode::kDryRun);
#if KESTREL_CHECK_LINT
  Findings lint = Lint(readOnly, context);
  findings.insert(findings.end(), lint.begin(), lint.end());
#else
  // The linter is built apart (check/lint/); without it only the plan's
  // own findings are reported.
  (void)readOnly;
  (void)context;
  (void)findings;
#endif
}

}  // namespace kestrel::check
