#pragma once
// The application object: one pass through InitInstance is the launcher's
// whole life.  It fills the launch context, applies the single-instance
// rule, prepares the PC, lets the prerequisite installer finish on a worker
// thread, launches the game (directly or after the version chooser), runs
// the post-launch actions and returns, so the process ends without a
// message loop.

#include <memory>

#include "core/launch_context.h"
#include "framework/win_app.h"
#include "platform/platform.h"

namespace kestrel {

enum LaunchMode { kLaunchDirectly = 1, kShowChooser = 2 };

/// The modal result of a cancelled chooser (IDCANCEL).
inline constexpr int kChooserCancel = 2;

class CKestrelExApp : public CWinApp {
 public:
  explicit CKestrelExApp(Platform& os);
  ~CKestrelExApp() override;

  /// The start-up routine.  Always false: there is no message loop to run.
  bool InitInstance() override;
  /// 2 (show the chooser) when Config.ini exists, the chooser is allowed and
  /// "btnCount" of "dlg_config" is above 0; else 1 (launch directly).
  int ChooseLaunchMode();

  LaunchContext& context() { return *context_; }

 private:
  void LaunchAndFollowUp();

  Platform& os_;
  std::unique_ptr<LaunchContext> context_;
  Handle workerThread_ = kNoHandle;  ///< the prerequisite installer's thread
};

}  // namespace kestrel
