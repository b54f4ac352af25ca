#include "chooser/version_chooser.h"

namespace kestrel {

// The window is the platform's: the logic only asks for it, so each build
// (and the tests' fake machine) supplies its own.
int RunVersionChooser(Platform& os, LaunchContext& context) { return os.RunVersionChooser(context); }

}  // namespace kestrel
