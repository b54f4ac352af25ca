#include "actions/file_deletion.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

class DeletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.baseDir = L"D:\\Games\\Foo";
    fake.AddFile(L"D:\\Games\\Foo\\save\\slot.sav", "s");
    fake.AddFile(L"D:\\Games\\Foo\\save\\ro\\locked.sav", "r");
    fake.SetReadOnly(L"D:\\Games\\Foo\\save\\ro\\locked.sav");
    fake.AddFile(L"D:\\Games\\Foo\\log.txt", "l");
    fake.AddFile(L"D:\\Games\\Foo\\game.exe", "g");
    fake.AddFile(L"D:\\Games\\other.txt", "o");
    fake.ClearRecord();
  }
  bool Intact() {
    for (const wchar_t* path : {L"D:\\Games\\Foo\\save\\slot.sav", L"D:\\Games\\Foo\\save\\ro\\locked.sav",
                                L"D:\\Games\\Foo\\log.txt", L"D:\\Games\\Foo\\game.exe", L"D:\\Games\\other.txt"})
      if (!fake.FileBytes(path)) return false;
    return true;
  }
  FakePlatform fake;
  LaunchContext context;
};

TEST_F(DeletionTest, FoldersGoWholeAndFilesLogTheirCode) {
  EXPECT_TRUE(DeleteListedPaths(fake, context, L"save|log.txt|missing.txt|nodir\\x.txt"));
  EXPECT_FALSE(fake.PathFileExistsW(L"D:\\Games\\Foo\\save"));
  EXPECT_FALSE(fake.PathFileExistsW(L"D:\\Games\\Foo\\log.txt"));
  EXPECT_TRUE(fake.PathFileExistsW(L"D:\\Games\\Foo\\game.exe"));
  EXPECT_EQ(fake.Logs(), (std::vector<std::wstring>{
                             L"MSG: Delete directory succeed, dir=D:\\Games\\Foo\\save",
                             L"MSG: Delete file succeed, file=D:\\Games\\Foo\\log.txt, code=0",
                             L"MSG: Delete file succeed, file=D:\\Games\\Foo\\missing.txt, code=2",
                             L"MSG: Delete file succeed, file=D:\\Games\\Foo\\nodir\\x.txt, code=3",
                         }));
  EXPECT_FALSE(DeleteListedPaths(fake, context, L""));
}

TEST_F(DeletionTest, ItemsThatAreEmptyOrLeaveTheBaseDirectoryArePassedOver) {
  const std::wstring items[] = {
      L"",          L".",     L"..",     L"..\\other.txt", L"save\\..\\..\\other.txt", L"save\\..",
      L"...",       L". ",    L".. ",    L"\\",            L"/",                        L"save\\. \\slot.sav",
      L"./",        L"x\\..", L" ",      L"..\\Foo",
  };
  for (const std::wstring& item : items) {
    fake.ClearRecord();
    EXPECT_TRUE(DeleteListedPaths(fake, context, L"|" + item + L"|")) << item;  // "|x|" holds x and an empty item
    EXPECT_TRUE(Intact()) << item;
    ASSERT_EQ(fake.Logs().size(), 2u) << item;
    EXPECT_EQ(fake.Logs()[0], L"MSG: Delete passed over, item=\"" + item + L"\" is not inside dir=D:\\Games\\Foo");
    EXPECT_TRUE(fake.Effects().size() == 2u) << item;  // the two log lines only
  }
  // A list of bars only, as long as a value can be.
  fake.ClearRecord();
  DeleteListedPaths(fake, context, std::wstring(259, L'|'));
  EXPECT_TRUE(Intact());
  EXPECT_EQ(fake.Logs().size(), 259u);  // a leading bar adds no item

  // An empty base directory would make every item relative to wherever the
  // launcher happens to run.
  LaunchContext none;
  fake.ClearRecord();
  DeleteListedPaths(fake, none, L"log.txt");
  EXPECT_TRUE(Intact());
}

TEST_F(DeletionTest, ItemsInsideAreDeletedAndOverlongOnesPassedOver) {
  EXPECT_TRUE(StaysInsideFolder(L"save\\..\\log.txt"));
  EXPECT_TRUE(StaysInsideFolder(L"\\log.txt"));
  EXPECT_TRUE(StaysInsideFolder(L"a.b"));
  EXPECT_TRUE(StaysInsideFolder(L"*"));

  std::wstring longItem(300, L'x');
  DeleteListedPaths(fake, context, longItem + L"|*|log.txt");
  EXPECT_EQ(fake.Logs()[0], L"MSG: Delete passed over, path too long (313 characters): D:\\Games\\Foo\\" + longItem);
  EXPECT_EQ(fake.CallsOf(L"DeleteFileW")[0].args[0], L"D:\\Games\\Foo\\*");  // a wildcard names no file
  EXPECT_TRUE(fake.PathFileExistsW(L"D:\\Games\\Foo\\game.exe"));
  EXPECT_FALSE(fake.PathFileExistsW(L"D:\\Games\\Foo\\log.txt"));

  // The longest item that fits: baseDir, its backslash and the item in 259.
  fake.ClearRecord();
  DeleteListedPaths(fake, context, std::wstring(259 - 13, L'a') + L"|" + std::wstring(259 - 12, L'b'));
  ASSERT_EQ(fake.CallsOf(L"DeleteFileW").size(), 1u);
  EXPECT_EQ(fake.CallsOf(L"DeleteFileW")[0].args[0].size(), 259u);
}

TEST_F(DeletionTest, TheActionReadsItsListFromTheCurrentConfig) {
  EXPECT_TRUE(DelFileOrDirs(fake, context));  // no Config.ini: nothing
  EXPECT_TRUE(Intact());
  fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", L"[action_first]\ndelFileOrDirs=log.txt|save\n");
  context.baseDir = L"D:\\Games\\Foo\\";
  EXPECT_TRUE(DelFileOrDirs(fake, context));
  EXPECT_FALSE(fake.PathFileExistsW(L"D:\\Games\\Foo\\log.txt"));
  EXPECT_FALSE(fake.PathFileExistsW(L"D:\\Games\\Foo\\save"));
  EXPECT_TRUE(fake.PathFileExistsW(L"D:\\Games\\Foo\\GamePatch\\Config.ini"));
}

}  // namespace
}  // namespace kestrel
