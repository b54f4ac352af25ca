// KestrelEx: prepares the PC for one game, starts it and ends.

#include "app/kestrel_app.h"
#include "platform/platform.h"

int main() {
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  kestrel::CKestrelExApp app(*os);
  return kestrel::AfxWinMain(app);
}
