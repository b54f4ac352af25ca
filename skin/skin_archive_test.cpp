#include "skin/skin_archive.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "tests/support/zip_builder.h"

namespace kestrel {
namespace {

using testing::ZipBuilder;

constexpr const wchar_t* kPath = L"D:\\Games\\Foo\\GamePatch\\res.dat";

std::string SkinZip() {
  ZipBuilder zip;
  zip.Add("Skin/wnd_00.png", "\x89PNG first", 0);  // the first entry sits at offset 0
  zip.Add("Skin/wnd_01.png", "\x89PNG second", 8);
  return zip.Build();
}

TEST(SkinArchiveTest, OpensTheFileWholeAndItsEntriesLoad) {
  FakePlatform os;
  os.AddFile(kPath, SkinZip());
  SkinArchive archive;
  ASSERT_TRUE(archive.Open(os, kPath));
  EXPECT_NE(archive.handle(), kNoArchive);
  EXPECT_EQ(archive.bytes(), SkinZip());
  EXPECT_EQ(os.CallsOf(L"ReadFileBytes").size(), 1u);

  int index = -1;
  ZipEntryInfo info;
  ASSERT_EQ(FindArchiveItem(archive.handle(), L"Skin/wnd_00.png", &index, &info), ResultOk);
  std::string image(info.uncompressedSize, '\0');
  UnzipArchiveItem(archive.handle(), index, image.data(), info.uncompressedSize);
  EXPECT_EQ(image, "\x89PNG first");

  // Opened again while open: the same reader, the file is not read again.
  const ArchiveHandle handle = archive.handle();
  EXPECT_TRUE(archive.Open(os, kPath));
  EXPECT_EQ(archive.handle(), handle);
  EXPECT_EQ(os.CallsOf(L"ReadFileBytes").size(), 1u);

  archive.Close();
  EXPECT_EQ(archive.handle(), kNoArchive);
  EXPECT_TRUE(archive.bytes().empty());
  // The reader is gone with it.
  EXPECT_EQ(FindArchiveItem(handle, L"Skin/wnd_00.png", nullptr, nullptr), ResultWrongMode);
}

TEST(SkinArchiveTest, AMissingOrForeignFileLeavesItClosed) {
  FakePlatform os;
  SkinArchive missing;
  EXPECT_FALSE(missing.Open(os, kPath));
  EXPECT_EQ(missing.handle(), kNoArchive);
  EXPECT_TRUE(missing.bytes().empty());

  os.AddFile(kPath, "not a zip archive at all");
  SkinArchive foreign;
  ZipOpenFailure failure = ZipOpenFailure::kNone;
  EXPECT_FALSE(foreign.Open(os, kPath, &failure));
  EXPECT_EQ(foreign.handle(), kNoArchive);
  EXPECT_EQ(failure, ZipOpenFailure::kNoEndRecord);
  EXPECT_EQ(foreign.bytes(), "not a zip archive at all");  // held until the close
  foreign.Close();
  EXPECT_TRUE(foreign.bytes().empty());
}

TEST(SkinArchiveTest, TheProcessWideArchiveIsOneObject) {
  FakePlatform os;
  os.AddFile(kPath, SkinZip());
  EXPECT_EQ(&TheSkinArchive(), &TheSkinArchive());
  ASSERT_TRUE(OpenSkinArchive(os, kPath));
  const ArchiveHandle handle = TheSkinArchive().handle();
  EXPECT_EQ(FindArchiveItem(handle, L"Skin/wnd_01.png", nullptr, nullptr), ResultOk);
  CloseSkinArchive();
  EXPECT_EQ(TheSkinArchive().handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(handle, L"Skin/wnd_01.png", nullptr, nullptr), ResultWrongMode);
}

}  // namespace
}  // namespace kestrel
