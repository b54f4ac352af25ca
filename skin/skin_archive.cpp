#include "skin/skin_archive.h"

#include <limits>

#include "platform/platform.h"

namespace kestrel {

bool SkinArchive::Open(Platform& platform, const std::wstring& path, ZipOpenFailure* failure) {
  if (failure) *failure = ZipOpenFailure::kNone;
  if (handle_ != kNoArchive) return true;
  bytes_.clear();
  std::string bytes;
  if (!platform.ReadFileBytes(path, bytes)) return false;
  // The file's size is a 32-bit number; a larger file is no skin archive.
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  bytes_ = std::move(bytes);  // std::string keeps a zero byte after the data
  handle_ = OpenArchive(platform, reinterpret_cast<const std::uint8_t*>(bytes_.data()),
                        static_cast<std::uint32_t>(bytes_.size()), failure);
  return handle_ != kNoArchive;
}

void SkinArchive::Close() {
  if (handle_ != kNoArchive) {
    CloseArchive(handle_);
    handle_ = kNoArchive;
  }
  std::string().swap(bytes_);
}

SkinArchive& TheSkinArchive() {
  // A function-local static: created on first use, and its destructor,
  // registered then, closes the archive at process exit.
  static SkinArchive archive;
  return archive;
}

bool OpenSkinArchive(Platform& platform, const std::wstring& path) { return TheSkinArchive().Open(platform, path); }

void CloseSkinArchive() { TheSkinArchive().Close(); }

}  // namespace kestrel
