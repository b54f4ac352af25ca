#pragma once
// Decoded images as premultiplied BGRA, written to and read from one
// gzip file: the record both builds' decoders are compared against.  Each
// image is a text line "name width height" followed by its pixels; an
// image that did not decode is "name 0 0".

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::testing {

struct DumpedImage {
  std::string name;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;  ///< top row first
};

bool WriteBgraDump(const std::string& path, const std::vector<DumpedImage>& images);
/// False when the file is missing or not a whole dump.
bool ReadBgraDump(const std::string& path, std::vector<DumpedImage>& images);

}  // namespace kestrel::testing
