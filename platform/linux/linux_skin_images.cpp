// Skin images on Linux: pixel blocks decoded from PNG bytes held in
// an ordinary heap block.

#include <algorithm>
#include <new>

#include "platform/linux/linux_platform.h"
#include "platform/linux/png_image_decoder.h"

namespace kestrel {

namespace {

class HeapBlock : public FixedMemoryBlock {
 public:
  HeapBlock(std::unique_ptr<std::uint8_t[]> data, std::uint32_t size) : data_(std::move(data)), size_(size) {}
  std::span<std::uint8_t> bytes() override { return {data_.get(), size_}; }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::uint32_t size_;
};

SkinImagePtr Decode(std::span<const std::uint8_t> bytes) { return DecodePngImage(bytes); }

}  // namespace

std::unique_ptr<FixedMemoryBlock> LinuxPlatform::GlobalAllocFixed(std::uint32_t size) {
  // Left uncleared, as GMEM_FIXED leaves it: the pages of a block that a
  // hostile size asks for are never touched beyond what is written.
  std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[std::max<std::uint32_t>(size, 1)]);
  if (!data) {
    SetLastError(win::kNotEnoughMemory);
    return nullptr;
  }
  return std::make_unique<HeapBlock>(std::move(data), size);
}

SkinImagePtr LinuxPlatform::DecodeImageFromMemory(FixedMemoryBlock& block) { return Decode(block.bytes()); }

SkinImagePtr LinuxPlatform::DecodeImageFromFile(const std::wstring& path,
                                                const std::function<bool(std::string_view head)>& admit) {
  // Read once: what is admitted is exactly what is decoded.
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return nullptr;
  if (!admit(std::string_view(bytes).substr(0, kImageHeadBytes))) return nullptr;
  return Decode({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace kestrel
