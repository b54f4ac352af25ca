#include "skin/skin_image_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "skin/png_header.h"
#include "skin/skin_image_names.h"
#include "tests/support/gbk_test_platform.h"
#include "tests/support/png_builder.h"
#include "tests/support/zip_builder.h"

namespace kestrel {
namespace {

using testing::MakePngHeaderOnly;
using testing::MakeSolidPng;
using testing::ZipBuilder;

constexpr const wchar_t* kArchivePath = L"D:\\Games\\Foo\\GamePatch\\res.dat";
constexpr const wchar_t* kFailureText = L"加载皮肤文件失败，请确认！";

// Archive images are 10 + i pixels wide and loose files 100 + i, so an
// image's width tells where it came from.
int ArchiveWidth(int i) { return 10 + i; }
int LooseWidth(int i) { return 100 + i; }

class SkinLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { CloseSkinArchive(); }
  void TearDown() override { CloseSkinArchive(); }

  /// The thirteen images in the archive, names as GBK, except those left out.
  void AddArchive(std::initializer_list<int> leftOut = {}) { AddArchiveTo(os, leftOut); }
  static void AddArchiveTo(FakePlatform& os, std::initializer_list<int> leftOut) {
    ZipBuilder zip;
    for (int i = 0; i < 13; ++i) {
      if (std::find(leftOut.begin(), leftOut.end(), i) != leftOut.end()) continue;
      zip.Add(os.WideToAnsi(kSkinImageNames[i]), MakeSolidPng(ArchiveWidth(i), 3, 0x336699ff), i % 2 ? 8 : 0);
    }
    os.AddFile(kArchivePath, zip.Build());
  }
  void AddLooseFiles() {
    for (int i = 0; i < 13; ++i) os.AddFile(kSkinImageNames[i], MakeSolidPng(LooseWidth(i), 3, 0xff0000ff));
  }
  /// Each of the ten members' width, 0 for an empty one.
  static std::vector<int> Widths(const ChooserSkin& skin) {
    std::vector<int> out;
    for (const SkinImagePtr& piece : skin.frameImages) out.push_back(piece ? piece->Width() : 0);
    out.push_back(skin.backgroundImage ? skin.backgroundImage->Width() : 0);
    out.push_back(skin.buttonImage ? skin.buttonImage->Width() : 0);
    return out;
  }
  static std::vector<int> AllFrom(int (*width)(int)) {
    std::vector<int> out;
    for (int i = 0; i < 10; ++i) out.push_back(width(i));
    return out;
  }

  testing::GbkTestPlatform os;
  LaunchContext context{L"D:\\Games\\Foo", {}, true};
};

TEST_F(SkinLoaderTest, AllImagesComeFromTheArchiveEvenWithLooseFilesBeside) {
  AddArchive();
  AddLooseFiles();
  ChooserSkin skin;
  ASSERT_TRUE(LoadChooserSkin(os, context, skin));
  EXPECT_EQ(Widths(skin), AllFrom(ArchiveWidth));
  EXPECT_TRUE(os.CallsOf(L"DecodeImageFromFile").empty());
  EXPECT_TRUE(os.CallsOf(L"MessageBoxW").empty());
  // The window's own buttons load later, from the archive that stayed open.
  SkinImagePtr close = LoadSkinImage(os, kCloseImageName);
  ASSERT_TRUE(close);
  EXPECT_EQ(close->Width(), ArchiveWidth(12));
}

TEST_F(SkinLoaderTest, AMissingEntryComesFromItsLooseFile) {
  AddArchive({3});
  os.AddFile(L"Skin/wnd_03.png", MakeSolidPng(LooseWidth(3), 3, 0xff0000ff));
  ChooserSkin skin;
  ASSERT_TRUE(LoadChooserSkin(os, context, skin));
  std::vector<int> expected = AllFrom(ArchiveWidth);
  expected[3] = LooseWidth(3);
  EXPECT_EQ(Widths(skin), expected);
  EXPECT_EQ(os.CallsOf(L"DecodeImageFromFile"),
            (std::vector<FakeCall>{{L"DecodeImageFromFile", {L"Skin/wnd_03.png"}}}));
}

TEST_F(SkinLoaderTest, WithoutAnArchiveNoLooseFileIsTriedAndNoBoxShown) {
  AddLooseFiles();
  ChooserSkin skin;
  skin.buttonImage = LoadImageFromFile(os, kButtonImageName);  // a member from before is cleared
  ASSERT_TRUE(skin.buttonImage);
  os.ClearRecord();
  EXPECT_FALSE(LoadChooserSkin(os, context, skin));
  EXPECT_EQ(Widths(skin), std::vector<int>(10, 0));
  EXPECT_TRUE(os.CallsOf(L"DecodeImageFromFile").empty());
  EXPECT_TRUE(os.CallsOf(L"MessageBoxW").empty());
}

TEST_F(SkinLoaderTest, ANonArchiveResDatFailsSilently) {
  os.AddFile(kArchivePath, "this is not a zip archive");
  AddLooseFiles();
  ChooserSkin skin;
  EXPECT_FALSE(LoadChooserSkin(os, context, skin));
  EXPECT_TRUE(os.CallsOf(L"DecodeImageFromFile").empty());
  EXPECT_TRUE(os.CallsOf(L"MessageBoxW").empty());
}

TEST_F(SkinLoaderTest, TheBackgroundOrButtonFaceMissingShowsTheBoxAndFails) {
  for (int missing : {8, 9}) {
    SCOPED_TRACE(missing);
    CloseSkinArchive();
    testing::GbkTestPlatform os;
    AddArchiveTo(os, {missing});
    ChooserSkin skin;
    EXPECT_FALSE(LoadChooserSkin(os, context, skin));
    EXPECT_EQ(os.CallsOf(L"MessageBoxW"), (std::vector<FakeCall>{{L"MessageBoxW", {kFailureText, L"KestrelEx", L"0x0"}}}));
    // The images that did load are kept: the caller owns and releases them.
    EXPECT_EQ(Widths(skin)[0], ArchiveWidth(0));
  }
}

TEST_F(SkinLoaderTest, FramePiecesAreOptional) {
  AddArchive({0, 1, 2, 3, 4, 5, 6, 7});
  ChooserSkin skin;
  ASSERT_TRUE(LoadChooserSkin(os, context, skin));
  EXPECT_EQ(Widths(skin), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, ArchiveWidth(8), ArchiveWidth(9)}));
  EXPECT_TRUE(os.CallsOf(L"MessageBoxW").empty());
}

TEST_F(SkinLoaderTest, AnEntryThatDoesNotServeFallsBackToTheLooseFile) {
  struct Case {
    const char* what;
    std::string storedName;  // GBK bytes
    std::string data;
    std::uint32_t statedSize;  // 0: the data's own
    bool failAlloc;
  };
  const std::string background = os.WideToAnsi(kBackgroundImageName);
  const Case cases[] = {
      {"text under the image's name", background, "not a picture at all", 0, false},
      {"the name in another case", "Skin/" + background.substr(5, 4) + ".PNG", MakeSolidPng(20, 3, 0x00ff00ff), 0, false},
      {"the name with a backslash", "Skin\\" + background.substr(5), MakeSolidPng(20, 3, 0x00ff00ff), 0, false},
      {"an entry that breaks off", background, MakeSolidPng(20, 3, 0x00ff00ff), 4096, false},
      {"a claim of 8193 pixels wide", background, MakePngHeaderOnly(8193, 1), 0, false},
      {"a claim of 16,004,000 pixels", background, MakePngHeaderOnly(4001, 4000), 0, false},
      {"no memory for the block", background, MakeSolidPng(20, 3, 0x00ff00ff), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseSkinArchive();
    testing::GbkTestPlatform os;
    os.failGlobalAlloc = c.failAlloc;
    ZipBuilder zip;
    auto& entry = zip.Add(c.storedName, c.data, 0);
    if (c.statedSize) entry.centralUncompressedSize = entry.localUncompressedSize = c.statedSize;
    os.AddFile(kArchivePath, zip.Build());
    os.AddFile(kBackgroundImageName, MakeSolidPng(LooseWidth(8), 3, 0xff0000ff));
    ASSERT_TRUE(OpenSkinArchive(os, kArchivePath));
    SkinImagePtr image = LoadSkinImage(os, kBackgroundImageName);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), LooseWidth(8));
  }
}

TEST_F(SkinLoaderTest, AnImageOverTheBudgetIsLoggedWithItsClaimedSize) {
  os.AddFile(L"Skin/wnd_00.png", MakePngHeaderOnly(9000, 10));
  EXPECT_FALSE(LoadImageFromFile(os, L"Skin/wnd_00.png"));
  EXPECT_EQ(os.Logs(),
            (std::vector<std::wstring>{L"MSG: Skin image over the pixel budget, name=Skin/wnd_00.png, size=9000x10"}));
}

TEST(PixelBudgetTest, SidesAndAreaAtTheirLimits) {
  struct Case {
    std::uint32_t width, height;
    bool within;
  };
  const Case cases[] = {
      {8192, 1, true},      {1, 8192, true},    {8193, 1, false},       {1, 8193, false},
      {8192, 1953, true},   {4000, 4000, true}, {4001, 4000, false},    {0, 10, false},
      {10, 0, false},       {0xffffffff, 0xffffffff, false},
  };
  for (const Case& c : cases) {
    PngHeader header;
    ASSERT_TRUE(ReadPngHeader(MakePngHeaderOnly(c.width, c.height), header));
    EXPECT_EQ(WithinPixelBudget(header), c.within) << c.width << "x" << c.height;
  }
  PngHeader header;
  EXPECT_FALSE(ReadPngHeader(std::string("\x89PNG\r\n\x1a\n", 8), header));
  EXPECT_FALSE(ReadPngHeader("GIF89a and then some more bytes to fill it up", header));
}

TEST_F(SkinLoaderTest, AnArchivePathThatDoesNotFitIsRefused) {
  context.baseDir = L"D:\\" + std::wstring(240, L'x');
  ChooserSkin skin;
  EXPECT_FALSE(LoadChooserSkin(os, context, skin));
  EXPECT_TRUE(os.CallsOf(L"PathFileExistsW").empty());
}

}  // namespace
}  // namespace kestrel
