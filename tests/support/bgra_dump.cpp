#include "tests/support/bgra_dump.h"

#include <zlib.h>

#include <sstream>

namespace kestrel::testing {

bool WriteBgraDump(const std::string& path, const std::vector<DumpedImage>& images) {
  gzFile out = gzopen(path.c_str(), "wb9");
  if (!out) return false;
  bool ok = true;
  for (const DumpedImage& image : images) {
    std::string line = image.name + " " + std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
    ok = ok && gzwrite(out, line.data(), static_cast<unsigned>(line.size())) == static_cast<int>(line.size());
    if (!image.bgra.empty())
      ok = ok && gzwrite(out, image.bgra.data(), static_cast<unsigned>(image.bgra.size())) ==
                     static_cast<int>(image.bgra.size());
  }
  return gzclose(out) == Z_OK && ok;
}

bool ReadBgraDump(const std::string& path, std::vector<DumpedImage>& images) {
  gzFile in = gzopen(path.c_str(), "rb");
  if (!in) return false;
  images.clear();
  bool ok = true;
  for (;;) {
    std::string line;
    int c;
    while ((c = gzgetc(in)) != -1 && c != '\n') line += static_cast<char>(c);
    if (c == -1) {
      ok = line.empty();
      break;
    }
    DumpedImage image;
    std::istringstream fields(line);
    if (!(fields >> image.name >> image.width >> image.height) || image.width < 0 || image.height < 0 ||
        image.width > 8192 || image.height > 8192) {
      ok = false;
      break;
    }
    image.bgra.resize(static_cast<std::size_t>(image.width) * image.height * 4);
    if (!image.bgra.empty() &&
        gzread(in, image.bgra.data(), static_cast<unsigned>(image.bgra.size())) != static_cast<int>(image.bgra.size())) {
      ok = false;
      break;
    }
    images.push_back(std::move(image));
  }
  gzclose(in);
  return ok;
}

}  // namespace kestrel::testing
