// The chooser window of the Linux build: the module libkestrel-chooser.so
// (beside the launcher, or installed in lib/kestrelex), opened only now,
// with the sources of this launch.  A module that cannot be opened is a window that could not be
// created: the launch goes on.

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "chooser/chooser_ids.h"
#include "chooser/launch_chooser_sources.h"
#include "chooser/linux/chooser_module.h"
#include "core/log.h"
#include "platform/linux/linux_platform.h"
#include "text/utf.h"

namespace kestrel {

namespace {

// The module in the first of its folders that holds it; beside the
// launcher when none does, so that the failure names that path.
std::string ChooserModulePath() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return kKestrelChooserModuleName;
  std::string dir(self, static_cast<std::size_t>(length));
  dir.resize(dir.rfind('/') + 1);
  for (const char* under : kKestrelChooserModuleDirs) {
    std::string path = dir;
    path += under;
    path += kKestrelChooserModuleName;
    if (access(path.c_str(), F_OK) == 0) return path;
  }
  return dir + kKestrelChooserModuleName;
}

}  // namespace

int LinuxPlatform::RunVersionChooser(LaunchContext& context) {
  const std::string module = ChooserModulePath();
  // The module stays loaded: SDL and the font libraries keep threads and
  // handlers that must not outlive their code.
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto run = handle ? reinterpret_cast<KestrelRunChooserWindowFn>(dlsym(handle, kKestrelRunChooserWindowSymbol))
                    : nullptr;
  if (!run) {
    const char* why = dlerror();
    LogMessage(*this, L"MSG: OnCreate failed, Initialization window failed, module=%s",
               {Utf8ToWide(why ? why : module)});
    return kModalFailed;
  }
  LaunchChooserSources sources(*this, context);
  return run(this, &sources, nullptr);
}

}  // namespace kestrel
