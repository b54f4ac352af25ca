#pragma once
// A file's version resource, read without Windows: the VS_VERSIONINFO
// block found through a PE image's resource directory (type RT_VERSION,
// name 1, the first language), and its fixed part.  Every offset in the
// image is checked against the image's size and the walk has a fixed
// depth, so a corrupt or hostile file gives "no version", never a crash,
// an overread or a loop.

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

/// Copies the raw version resource of a PE image into `resource`.  False
/// with a Windows error code in `error`: 11 (ERROR_BAD_FORMAT) for what is
/// not a PE image or has a corrupt resource directory, 1812 when the image
/// has no resources, 1813 when it has no version resource.
bool ReadVersionResource(std::span<const std::uint8_t> image, std::vector<std::uint8_t>& resource,
                         std::uint32_t& error);

/// The fixed part of a VS_VERSIONINFO block (VerQueryValueW of the root).
/// False when the block is too short for it, declares none, or its
/// signature is not 0xFEEF04BD.
bool ParseFixedFileInfo(std::span<const std::uint8_t> block, FixedFileInfo& info);

/// A VS_VERSIONINFO block holding `info` (its signature and structure
/// version filled in) and no string tables.
std::vector<std::uint8_t> BuildVersionInfoBlock(FixedFileInfo info);

/// What tells one state of a file from another: which file it is (device
/// and inode) and its size and modification time to the nanosecond.
struct FileState {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileState&) const = default;
};

/// GetFileVersionInfoSizeW then GetFileVersionInfoW, as the logic calls
/// them, with the file found and its block read once: the size call reads
/// the block and keeps it for the data call that follows.
///
/// The kept block is handed out only to a data call for the same key whose
/// file state, taken again at that call, equals the state the size call
/// read it in; it is handed out once, and the next size call replaces it.
/// A file replaced, rewritten or resized between the two calls is read
/// again, and every later pair reads the file anew.
class VersionBlockPair {
 public:
  /// Reads a file's version block and the state it was read in; false with
  /// a Windows error code.
  using Read = std::function<bool(std::vector<std::uint8_t>& block, FileState& state, std::uint32_t& error)>;

  /// The size call: the size of the block `read` finds (kept for the data
  /// call), or 0 with `error` set.
  std::uint32_t Size(const std::string& key, const Read& read, std::uint32_t& error);
  /// The data call: the block of the file at `key`, now in state `current`
  /// (null when its state could not be taken), cut to `size` bytes.
  bool Data(const std::string& key, const FileState* current, std::uint32_t size, const Read& read,
            std::vector<std::uint8_t>& block, std::uint32_t& error);

 private:
  std::mutex lock_;
  bool held_ = false;
  std::string key_;
  FileState state_;
  std::vector<std::uint8_t> block_;
};

/// The fixed part of version a.b.c.d.
FixedFileInfo MakeFileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

}  // namespace kestrel
