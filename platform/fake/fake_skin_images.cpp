// The fake's skin images: a stand-in decoder small enough to read, so that
// the loader's rules are tested with exact calls and without a real one.

#include "platform/fake/fake_platform.h"

namespace kestrel {

namespace {

class FakeBlock : public FixedMemoryBlock {
 public:
  explicit FakeBlock(std::uint32_t size) : data_(size) {}
  std::span<std::uint8_t> bytes() override { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

class FakeSkinImage : public SkinImage {
 public:
  FakeSkinImage(int width, int height, std::uint8_t value) : width_(width), height_(height), value_(value) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::vector<std::uint8_t> PremultipliedBgra() const override {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(width_) * height_ * 4, value_);
  }

 private:
  int width_;
  int height_;
  std::uint8_t value_;
};

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

SkinImagePtr StandInDecode(std::string_view bytes) {
  constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
  if (bytes.size() < 8 + 25 + 12 || bytes.substr(0, 8) != kSignature || bytes.substr(12, 4) != "IHDR") return nullptr;
  if (bytes.substr(bytes.size() - 8, 4) != "IEND") return nullptr;
  std::uint32_t width = BigEndian32(bytes, 16);
  std::uint32_t height = BigEndian32(bytes, 20);
  if (width == 0 || height == 0 || width > 0x7fff || height > 0x7fff) return nullptr;
  return std::make_unique<FakeSkinImage>(static_cast<int>(width), static_cast<int>(height),
                                         static_cast<std::uint8_t>(bytes[24]));
}

}  // namespace

std::unique_ptr<FixedMemoryBlock> FakePlatform::GlobalAllocFixed(std::uint32_t size) {
  Record(L"GlobalAllocFixed", {std::to_wstring(size)});
  if (failGlobalAlloc) {
    lastError_ = win::kNotEnoughMemory;
    return nullptr;
  }
  return std::make_unique<FakeBlock>(size);
}

SkinImagePtr FakePlatform::DecodeImageFromMemory(FixedMemoryBlock& block) {
  std::span<std::uint8_t> bytes = block.bytes();
  Record(L"DecodeImageFromMemory", {std::to_wstring(bytes.size())});
  return StandInDecode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

SkinImagePtr FakePlatform::DecodeImageFromFile(const std::wstring& path,
                                               const std::function<bool(std::string_view head)>& admit) {
  Record(L"DecodeImageFromFile", {path});
  auto it = files_.find(Key(path));
  if (it == files_.end()) return nullptr;
  if (!admit(std::string_view(it->second).substr(0, kImageHeadBytes))) return nullptr;
  return StandInDecode(it->second);
}

}  // namespace kestrel
