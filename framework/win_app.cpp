#include "framework/win_app.h"

namespace kestrel {

int AfxWinMain(CWinApp& app) {
  if (!app.InitInstance()) return app.ExitInstance();
  return app.Run();
}

}  // namespace kestrel
