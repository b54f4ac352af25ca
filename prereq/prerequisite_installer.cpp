#include "prereq/prerequisite_installer.h"

namespace kestrel {

// The installer lands here; until then the worker thread ends at once.
void RunPrerequisiteInstaller(Platform& /*os*/, const LaunchContext& /*context*/) {}

}  // namespace kestrel
