// Decodes PNG files with this build's skin image decoder and writes them
// as premultiplied BGRA to one dump file: run under Wine, it records what
// the Windows build's GDI+ makes of each image.
//   kestrel_png_dump OUT.bgra.gz FILE.png...

#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/platform.h"
#include "skin/skin_image_loader.h"
#include "tests/support/bgra_dump.h"
#include "text/utf.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: kestrel_png_dump OUT.bgra.gz FILE.png...\n";
    return 2;
  }
  std::unique_ptr<kestrel::Platform> os = kestrel::CreateSystemPlatform();
  os->InitializeFramework();
  std::vector<kestrel::testing::DumpedImage> images;
  for (int i = 2; i < argc; ++i) {
    std::string path = argv[i];
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    kestrel::testing::DumpedImage dumped;
    dumped.name = path.substr(path.find_last_of("/\\") + 1);
    if (kestrel::SkinImagePtr image = kestrel::DecodeSkinImage(*os, kestrel::Utf8ToWide(dumped.name), bytes.str())) {
      dumped.width = image->Width();
      dumped.height = image->Height();
      dumped.bgra = image->PremultipliedBgra();
    }
    images.push_back(std::move(dumped));
  }
  if (!kestrel::testing::WriteBgraDump(argv[1], images)) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
