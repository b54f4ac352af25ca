#include "platform/linux/process_umask.h"

#include <sys/stat.h>

namespace kestrel {

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return mask;
}

}  // namespace kestrel
