#include "chooser/version_chooser.h"

namespace kestrel {

// The chooser window lands here.  Until it does, no window can be created,
// and -1 (a window that could not be created) lets the launch go on.
int RunVersionChooser(Platform& /*os*/, LaunchContext& /*context*/) { return -1; }

}  // namespace kestrel
