#pragma once
// One entry open for extraction: its compressed bytes are taken from the
// archive in memory 16384 at a time and either copied (stored) or run
// through zlib's raw inflate (deflated), in calls of any capacity, each
// continuing where the last one stopped.  Output never goes beyond the
// entry's stated uncompressed size, and the stream allocates nothing but
// zlib's own state, whatever the archive claims.

#include <cstdint>
#include <memory>

#include "skin/zip_records.h"

namespace kestrel {

class ZipEntryStream {
 public:
  /// The entry's data starts at `dataStart`; its sizes are the central ones.
  ZipEntryStream(ZipBytes bytes, std::uint64_t dataStart, std::uint32_t compressedSize,
                 std::uint32_t uncompressedSize, bool deflated);
  ~ZipEntryStream();
  ZipEntryStream(const ZipEntryStream&) = delete;
  ZipEntryStream& operator=(const ZipEntryStream&) = delete;

  /// Starts raw inflate for a deflated entry; false when zlib cannot.
  bool Start();

  /// Writes up to `capacity` bytes of the entry (never more than it still
  /// has to produce) and returns how many.  Stops early at the end of the
  /// deflate stream, at the end of the compressed bytes, or on an error
  /// (a read beyond the archive or corrupt deflate data), keeping what was
  /// produced.
  std::uint32_t Produce(std::uint8_t* destination, std::uint32_t capacity);

  /// Bytes of the stated uncompressed size not produced yet.
  std::uint32_t remaining() const { return uncompressedLeft_; }
  /// True after a read or decompression error.
  bool failed() const { return failed_; }

 private:
  /// Takes the next input window of up to 16384 compressed bytes.
  bool Refill();

  struct Inflater;
  ZipBytes bytes_;
  std::uint64_t next_;  ///< archive position of the next compressed byte
  std::uint32_t compressedLeft_;
  std::uint32_t uncompressedLeft_;
  bool deflated_;
  const std::uint8_t* input_ = nullptr;  ///< the current input window
  std::uint32_t inputLeft_ = 0;
  bool ended_ = false;
  bool failed_ = false;
  std::unique_ptr<Inflater> inflater_;
};

}  // namespace kestrel
