#pragma once
// Helpers of the skin archive's tests: an archive held open for one test,
// and whole-entry extraction in calls of a given capacity.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "skin/zip_reader.h"

namespace kestrel::testing {

/// Archive bytes and the reader open on them, closed at the end of the test.
class OpenedZip {
 public:
  OpenedZip(Platform& platform, std::string bytes) : bytes_(std::move(bytes)) {
    handle_ = OpenArchive(platform, reinterpret_cast<const std::uint8_t*>(bytes_.data()),
                          static_cast<std::uint32_t>(bytes_.size()), &failure_);
  }
  ~OpenedZip() {
    if (handle_ != kNoArchive) CloseArchive(handle_);
  }
  OpenedZip(const OpenedZip&) = delete;
  OpenedZip& operator=(const OpenedZip&) = delete;

  ArchiveHandle handle() const { return handle_; }
  ZipOpenFailure failure() const { return failure_; }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
  ArchiveHandle handle_ = kNoArchive;
  ZipOpenFailure failure_ = ZipOpenFailure::kNone;
};

/// What extracting an entry to its end gave.
struct Extracted {
  std::string data;
  std::vector<ZipResult> results;  ///< one per call
  ZipResult last() const { return results.empty() ? ResultOk : results.back(); }
};

/// Calls UnzipArchiveItem with `capacity` until it stops returning ResultMore.
inline Extracted ExtractAll(ArchiveHandle handle, int index, std::uint32_t capacity, std::size_t maxCalls = 1 << 20) {
  Extracted out;
  std::vector<std::uint8_t> buffer(capacity);
  for (std::size_t i = 0; i < maxCalls; ++i) {
    std::uint32_t produced = 0;
    ZipResult r = UnzipArchiveItem(handle, index, buffer.data(), capacity, &produced);
    out.results.push_back(r);
    out.data.append(reinterpret_cast<const char*>(buffer.data()), produced);
    if (r != ResultMore) break;
  }
  return out;
}

}  // namespace kestrel::testing
