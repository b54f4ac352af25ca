#include <unistd.h>

#include "platform/linux/test_machine.h"
#include "tests/support/png_builder.h"

namespace kestrel {
namespace {

using testing::MakePng;
using testing::Rgba;

class LinuxSkinImagesTest : public TestMachine {
 protected:
  SkinImagePtr DecodeBytes(const std::string& bytes) {
    auto block = os_->GlobalAllocFixed(static_cast<std::uint32_t>(bytes.size()));
    EXPECT_TRUE(block);
    if (!block) return nullptr;
    std::copy(bytes.begin(), bytes.end(), block->bytes().begin());
    return os_->DecodeImageFromMemory(*block);
  }
};

TEST_F(LinuxSkinImagesTest, PixelsComePremultipliedAndTransparentIsBlack) {
  const std::uint32_t row[] = {Rgba(200, 100, 50, 128), Rgba(255, 255, 255, 0), Rgba(10, 20, 30, 255)};
  SkinImagePtr image = DecodeBytes(MakePng(3, 2, [&](int x, int) { return row[x]; }));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 3);
  EXPECT_EQ(image->Height(), 2);
  const std::vector<std::uint8_t> expectedRow = {25, 50, 100, 128, 0, 0, 0, 0, 30, 20, 10, 255};
  std::vector<std::uint8_t> expected = expectedRow;
  expected.insert(expected.end(), expectedRow.begin(), expectedRow.end());
  EXPECT_EQ(image->PremultipliedBgra(), expected);
}

TEST_F(LinuxSkinImagesTest, BytesThatAreNoWholePngDoNotDecode) {
  const std::string png = MakePng(4, 4, [](int x, int y) { return Rgba(x * 60, y * 60, 0, 255); });
  for (const std::string& bytes : {png.substr(0, png.size() / 2), std::string("plain text"), std::string()}) {
    SCOPED_TRACE(bytes.size());
    EXPECT_FALSE(DecodeBytes(bytes));
  }
}

TEST_F(LinuxSkinImagesTest, AFileDecodesFromItsPathRelativeToTheCurrentFolderAfterItsHeadIsAdmitted) {
  MakeDir("Skin");
  Write("Skin/wnd_00.png", MakePng(5, 1, [](int, int) { return Rgba(1, 2, 3, 255); }));
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(tmp_.c_str()), 0);
  std::string seen;
  SkinImagePtr image = os_->DecodeImageFromFile(L"Skin/wnd_00.png", [&](std::string_view head) {
    seen = head;
    return true;
  });
  SkinImagePtr refused = os_->DecodeImageFromFile(L"Skin/wnd_00.png", [](std::string_view) { return false; });
  SkinImagePtr folder = os_->DecodeImageFromFile(L"Skin", [](std::string_view) { return true; });
  SkinImagePtr missing = os_->DecodeImageFromFile(L"Skin/none.png", [](std::string_view) { return true; });
  ASSERT_EQ(chdir(previous), 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 5);
  EXPECT_EQ(seen, Read("Skin/wnd_00.png").substr(0, kImageHeadBytes));
  EXPECT_FALSE(refused);
  EXPECT_FALSE(folder);
  EXPECT_FALSE(missing);
}

}  // namespace
}  // namespace kestrel
