// KestrelEx: prepares the PC for one game, starts it and ends.

#include <iostream>

#include "app/command_line.h"
#include "app/kestrel_app.h"
#include "core/log.h"
#include "kestrel_version.h"
#include "platform/platform.h"

int main() {
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  // "KestrelEx --version" prints the version and prepares nothing.  (On
  // Windows the GUI program's output shows only when redirected; Explorer
  // shows the version resource.)
  if (kestrel::CommandLineTail(os->GetCommandLineW()) == L"--version") {
    std::cout << "KestrelEx " << kestrel::kKestrelVersion << '\n';
    return 0;
  }
  // Once per launch, before anything else, so every log says which
  // launcher wrote it.
  kestrel::LogMessage(*os, L"MSG: KestrelEx version=%s", {kestrel::kKestrelVersionW});
  kestrel::CKestrelExApp app(*os);
  return kestrel::AfxWinMain(app);
}
