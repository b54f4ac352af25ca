// libFuzzer target: the PE version-resource reader on arbitrary bytes, as a
// file version check reads any file a Config.ini names.  Promises checked:
// the reader ends (the fuzzer's timeout catches a loop), never reads outside
// the image (the sanitizers catch that), gives a resource no larger than the
// image, and a failure always carries one of its documented error codes.

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/model/version_resource.h"

namespace {
using namespace kestrel;
using fuzz::Check;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> image(data, size);
  std::vector<std::uint8_t> resource;
  std::uint32_t error = 0;
  if (ReadVersionResource(image, resource, error)) {
    Check(resource.size() <= size);
    FixedFileInfo info;
    ParseFixedFileInfo(resource, info);
  } else {
    Check(error == 11 || error == 1812 || error == 1813);
  }
  // The fixed-part parser alone on the raw bytes, too.
  FixedFileInfo info;
  if (ParseFixedFileInfo(image, info)) Check(info.signature == 0xFEEF04BD);
  return 0;
}
