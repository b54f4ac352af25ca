// Skin images decoded by this build's own platform: GDI+ on Windows, libpng
// into 32-bit pixel words on Linux.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "skin/skin_image_loader.h"
#include "tests/support/decoding_platform.h"
#include "tests/support/png_builder.h"
#include "text/utf.h"

namespace kestrel {
namespace {

using testing::MakePng;
using testing::Rgba;

class SystemSkinImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kestrel-skin-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  /// Writes a file and returns its path as the platform names it.
  std::wstring Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return os_->NativePathToWindows((dir_ / name).wstring());
  }

  std::filesystem::path dir_;
  std::unique_ptr<Platform> os_ = testing::MakeDecodingPlatform();
};

TEST_F(SystemSkinImagesTest, PixelsArePremultipliedAndTransparentIsBlack) {
  const std::uint32_t row[] = {Rgba(200, 100, 50, 128), Rgba(255, 255, 255, 0), Rgba(10, 20, 30, 255)};
  const std::string png = MakePng(3, 2, [&](int x, int) { return row[x]; });
  const std::vector<std::uint8_t> one = {25, 50, 100, 128, 0, 0, 0, 0, 30, 20, 10, 255};
  std::vector<std::uint8_t> expected = one;
  expected.insert(expected.end(), one.begin(), one.end());
  SkinImagePtr images[] = {DecodeSkinImage(*os_, L"memory.png", png), LoadImageFromFile(*os_, Write("file.png", png))};
  for (const SkinImagePtr& image : images) {
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 3);
    EXPECT_EQ(image->Height(), 2);
    EXPECT_EQ(image->PremultipliedBgra(), expected);
  }
}

TEST_F(SystemSkinImagesTest, FilesThatDoNotServeGiveNoImage) {
  const std::string png = MakePng(4, 4, [](int x, int y) { return Rgba(x * 60, y * 60, 0, 255); });
  std::filesystem::create_directories(dir_ / "folder.png");
  const std::wstring cases[] = {
      Write("cut.png", png.substr(0, png.size() / 2)),
      Write("text.png", "plain text under an image's name"),
      Write("empty.png", ""),
      Write("huge.png", testing::MakePngHeaderOnly(100000, 100000)),
      os_->NativePathToWindows((dir_ / "folder.png").wstring()),
      os_->NativePathToWindows((dir_ / "missing.png").wstring()),
  };
  for (const std::wstring& path : cases) EXPECT_FALSE(LoadImageFromFile(*os_, path)) << WideToUtf8(path);
}

}  // namespace
}  // namespace kestrel
