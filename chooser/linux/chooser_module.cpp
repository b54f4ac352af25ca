#include "chooser/linux/chooser_module.h"

extern "C" __attribute__((visibility("default"))) int KestrelRunChooserWindow(
    kestrel::Platform* os, kestrel::ChooserSources* sources, const kestrel::ChooserWindowHooks* hooks) {
  return kestrel::RunChooserWindow(*os, *sources, hooks);
}
