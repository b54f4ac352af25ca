// KestrelSkin: lists, extracts from and checks a skin archive (res.dat)
// with the launcher's own reader.

#include <iostream>
#include <string>
#include <vector>

#include "kestrel_version.h"
#include "platform/platform.h"
#include "tools/kestrel_skin/skin_tool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/model/command_line_args.h"
#else
#include "text/utf.h"
#include "tools/kestrel_skin/skin_preview.h"
#endif

int main(int argc, char** argv) {
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  std::vector<std::wstring> args;
#ifdef _WIN32
  // The wide command line: names of entries are Chinese.  Extracted bytes
  // must reach standard output unchanged.
  (void)argc;
  (void)argv;
  // GDI+ decodes the images that check examines.
  os->InitializeFramework();
  args = kestrel::SplitCommandLineArgs(os->GetCommandLineW());
  if (!args.empty()) args.erase(args.begin());
  _setmode(_fileno(stdout), _O_BINARY);
#else
  for (int i = 1; i < argc; ++i) args.push_back(kestrel::Utf8ToWide(argv[i]));
#endif
  std::ios::sync_with_stdio(false);
  if (args.size() == 1 && args[0] == L"--version") {
    std::cout << "KestrelSkin " << kestrel::kKestrelVersion << '\n';
    return 0;
  }
#ifndef _WIN32
  if (args.size() == 3 && args[0] == L"preview") return kestrel::RunSkinPreview(*os, args[1], argv[3], std::cerr);
#endif
  return kestrel::RunSkinTool(*os, args, std::cout, std::cerr);
}
