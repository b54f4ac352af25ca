#include "skin/zip_entry_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace kestrel {

namespace {
constexpr std::uint32_t kInputBufferSize = 16384;
}  // namespace

struct ZipEntryStream::Inflater {
  z_stream stream{};
  bool started = false;
  ~Inflater() {
    if (started) inflateEnd(&stream);
  }
};

ZipEntryStream::ZipEntryStream(ZipBytes bytes, std::uint64_t dataStart, std::uint32_t compressedSize,
                               std::uint32_t uncompressedSize, bool deflated)
    : bytes_(bytes),
      next_(dataStart),
      compressedLeft_(compressedSize),
      uncompressedLeft_(uncompressedSize),
      deflated_(deflated) {}

ZipEntryStream::~ZipEntryStream() = default;

bool ZipEntryStream::Start() {
  if (!deflated_) return true;
  inflater_ = std::make_unique<Inflater>();
  // Raw deflate: no zlib header, a 32 KB window.
  if (inflateInit2(&inflater_->stream, -MAX_WBITS) != Z_OK) return false;
  inflater_->started = true;
  return true;
}

bool ZipEntryStream::Refill() {
  const std::uint32_t take = std::min(compressedLeft_, kInputBufferSize);
  if (!ZipHas(bytes_, next_, take)) {
    failed_ = true;
    return false;
  }
  // The archive is already in memory: the window views it instead of copying.
  input_ = bytes_.data() + next_;
  inputLeft_ = take;
  next_ += take;
  compressedLeft_ -= take;
  return true;
}

std::uint32_t ZipEntryStream::Produce(std::uint8_t* destination, std::uint32_t capacity) {
  const std::uint32_t want = std::min(capacity, uncompressedLeft_);
  std::uint32_t produced = 0;
  while (produced < want && !ended_ && !failed_) {
    if (inputLeft_ == 0 && compressedLeft_ > 0 && !Refill()) break;
    if (!deflated_) {
      if (inputLeft_ == 0) break;  // a stored entry shorter than its stated size ends here
      const std::uint32_t n = std::min(inputLeft_, want - produced);
      std::memcpy(destination + produced, input_, n);
      input_ += n;
      inputLeft_ -= n;
      produced += n;
      continue;
    }
    z_stream& z = inflater_->stream;
    z.next_in = const_cast<Bytef*>(input_);
    z.avail_in = inputLeft_;
    z.next_out = destination + produced;
    z.avail_out = want - produced;
    // With the input spent inflate still runs: it may hold output that an
    // earlier, smaller capacity left behind.  No progress then (Z_BUF_ERROR)
    // means the deflate stream was cut short.
    const int rc = inflate(&z, Z_SYNC_FLUSH);
    produced = want - z.avail_out;
    input_ = z.next_in;
    inputLeft_ = z.avail_in;
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc != Z_OK) {
      failed_ = true;
    }
  }
  uncompressedLeft_ -= produced;
  return produced;
}

}  // namespace kestrel
