// The launcher with its effects recorded: KestrelEx's own sequence on the
// real platform, through the recorder KestrelCheck plans with, in the mode
// that carries every operation out.  The journal (one plan step a line, as
// KestrelCheck's JSON writes them) goes to $KESTREL_LOG.effects, so the
// end-to-end tests can compare a check's plan with what the launch did.

#include <cstdlib>
#include <fstream>

#include "app/kestrel_app.h"
#include "check/dry_run_platform.h"
#include "check/launch_plan.h"
#include "check/report.h"
#include "core/log.h"
#include "kestrel_version.h"
#include "platform/platform.h"

int main() {
  using namespace kestrel;
  std::unique_ptr<Platform> os = CreateSystemPlatform();
  // The launcher's first line, as KestrelEx writes it; not an effect of
  // the launch the plan describes.
  LogMessage(*os, L"MSG: KestrelEx version=%s", {kKestrelVersionW});
  check::DryRunPlatform recorder(*os, check::DryRunPlatform::Mode::kRecord);
  CKestrelExApp app(recorder);
  check::AnnotateLaunch(recorder, app);
  int rc = AfxWinMain(app);

  check::Plan plan = recorder.TakePlan();
  check::MarkGameStart(plan, app.context());
  const char* log = std::getenv("KESTREL_LOG");
  if (!log) return rc;
  std::ofstream journal(std::string(log) + ".effects", std::ios::binary);
  for (std::size_t i = 0; i < plan.size(); ++i) journal << check::JsonStep(i + 1, plan[i]) << "\n";
  return rc;
}
