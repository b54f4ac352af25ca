#include "app/kestrel_app.h"

#include "actions/after_actions.h"
#include "actions/pre_launch_actions.h"
#include "app/base_values.h"
#include "app/command_line.h"
#include "app/game_launch.h"
#include "chooser/version_chooser.h"
#include "core/fitted_path.h"
#include "prereq/prerequisite_installer.h"
#include "text/path_buffer.h"

namespace kestrel {

CKestrelExApp::CKestrelExApp(Platform& os) : os_(os), context_(std::make_unique<LaunchContext>()) {}

CKestrelExApp::~CKestrelExApp() = default;

namespace {

std::wstring OwnDirectory(Platform& os) {
  std::wstring dir = FitBuffer(os.GetModuleFileNameW());
  PathRemoveFileSpec(dir);
  return dir;
}

// The mutex is named after the executable's file name without its
// extension: D:\Tools\KestrelEx.exe uses "KestrelEx".
std::wstring MutexName(Platform& os) { return PathFileStem(os.GetModuleFileNameW()); }

}  // namespace

bool CKestrelExApp::InitInstance() {
  os_.InitializeFramework();

  // Commands are carried out before the single-instance check, so a
  // wallpaper change works while another launcher runs.
  std::wstring tail = CommandLineTail(os_.GetCommandLineW());
  if (tail.empty()) {
    LoadBaseValues(os_, *context_, OwnDirectory(os_));
  } else if (!ParseCommandLine(os_, tail, *context_)) {
    return false;
  }

  // The mutex is never released: it lives until the process ends.
  os_.CreateMutexW(MutexName(os_), true);
  if (os_.GetLastError() == win::kAlreadyExists) {
    std::wstring halyard = JoinPath(OwnDirectory(os_), L"Halyard.exe");
    if (!PathFits(os_, L"Halyard", halyard) || !os_.PathFileExistsW(halyard)) return false;
  }

  RunPreLaunchActions(os_, *context_);

  // The installer runs on its own thread while this one waits without a
  // time limit, so launcher logic never runs on two threads at once.
  workerThread_ = os_.BeginThread([this] { RunPrerequisiteInstaller(os_, *context_); });
  os_.WaitForSingleObject(workerThread_, win::kInfinite);

  if (ChooseLaunchMode() == kLaunchDirectly) {
    LaunchAndFollowUp();
  } else if (RunVersionChooser(os_, *context_) != kChooserCancel) {
    LaunchAndFollowUp();
  }
  return false;
}

void CKestrelExApp::LaunchAndFollowUp() {
  // The post-launch actions run whether a game was started or not.
  LaunchGame(os_, *context_);
  RunAfterActions(os_, *context_);
  KillConfiguredProcesses(os_, *context_);
}

int CKestrelExApp::ChooseLaunchMode() {
  std::wstring config = ConfigPath(*context_);
  if (os_.PathFileExistsW(config) && context_->chooserAllowed)
    return os_.GetPrivateProfileIntW(L"dlg_config", L"btnCount", 0, config) > 0 ? kShowChooser : kLaunchDirectly;
  return kLaunchDirectly;
}

}  // namespace kestrel
