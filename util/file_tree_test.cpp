#include "util/file_tree.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

TEST(TrimTrailingSeparators, DropsEveryTrailingSlashOfEitherKind) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\a\\", L"C:\\a"}, {L"C:\\a/\\//", L"C:\\a"}, {L"C:\\a", L"C:\\a"},
      {L"\\\\", L""},         {L"", L""},                {L"a\\b c", L"a\\b c"},
  };
  for (auto [in, want] : cases) {
    TrimTrailingSeparators(in);
    EXPECT_EQ(in, want);
  }
}

TEST(CreateDirectoryPath, CreatesMissingParentsFromTheTopDown) {
  FakePlatform fake;
  fake.AddDirectory(L"C:\\one");
  EXPECT_NE(CreateDirectoryPath(fake, L"C:\\one\\two\\three\\"), 0);
  EXPECT_TRUE(fake.IsDirectory(L"C:\\one\\two\\three"));
  std::vector<FakeCall> creates = fake.CallsOf(L"CreateDirectoryW");
  ASSERT_EQ(creates.size(), 2u);
  EXPECT_EQ(creates[0].args[0], L"C:\\one\\two");
  EXPECT_EQ(creates[1].args[0], L"C:\\one\\two\\three\\");

  fake.ClearRecord();
  EXPECT_EQ(CreateDirectoryPath(fake, L"C:\\one\\two"), 1);
  EXPECT_TRUE(fake.CallsOf(L"CreateDirectoryW").empty());

  std::wstring tooLong = L"C:\\" + std::wstring(257, L'x');  // 260 characters
  EXPECT_EQ(CreateDirectoryPath(fake, tooLong), 0);
  EXPECT_EQ(CreateDirectoryPath(fake, tooLong.substr(0, 259)), 1);
  EXPECT_EQ(CreateDirectoryPath(fake, L"loose"), 0);  // nothing to take off
  EXPECT_EQ(CreateDirectoryPath(fake, L"Q:\\a"), 0);  // no drive Q: to create it on
}

class CopyDirectoryTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.AddFile(L"C:\\src\\a.txt", "a");
    fake.AddFile(L"C:\\src\\KESTREL.exe", "launcher");
    fake.AddFile(L"C:\\src\\GamePatch\\Config.ini", "cfg");
    fake.AddFile(L"C:\\src\\sub\\gamePATCH", "file named gamepatch");
    fake.AddFile(L"C:\\src\\sub\\b.txt", "b");
    fake.AddFile(L"C:\\src\\sub\\kestrel.EXE", "launcher");
    fake.AddFile(L"C:\\src\\sub\\deep\\gamepatch\\x.txt", "x");
    fake.AddFile(L"C:\\src\\sub\\deep\\c.txt", "c");
    fake.AddFile(L"C:\\src\\Kestrel.exe.d\\Kestrel.exe\\d.txt", "d");  // folders of that name are copied
    fake.AddDirectory(L"C:\\dst");
    fake.ClearRecord();
  }
  FakePlatform fake;
};

TEST_F(CopyDirectoryTreeTest, LeavesOutGamePatchAndTheLauncherAtEveryDepth) {
  EXPECT_EQ(CopyDirectoryTree(fake, L"C:\\src", L"C:\\dst\\", 0), 1);
  const std::pair<const wchar_t*, const char*> present[] = {
      {L"C:\\dst\\a.txt", "a"},
      {L"C:\\dst\\sub\\b.txt", "b"},
      {L"C:\\dst\\sub\\deep\\c.txt", "c"},
      {L"C:\\dst\\Kestrel.exe.d\\Kestrel.exe\\d.txt", "d"},
  };
  for (auto [path, bytes] : present) {
    ASSERT_NE(fake.FileBytes(path), nullptr) << path;
    EXPECT_EQ(*fake.FileBytes(path), bytes);
  }
  for (const wchar_t* path : {L"C:\\dst\\Kestrel.exe", L"C:\\dst\\GamePatch", L"C:\\dst\\sub\\gamepatch",
                              L"C:\\dst\\sub\\kestrel.exe", L"C:\\dst\\sub\\deep\\gamepatch"})
    EXPECT_FALSE(fake.PathFileExistsW(path)) << path;
  // The target's backslash is always added, and the walk uses "\*.*".
  EXPECT_EQ(fake.CallsOf(L"FindFirstFileW")[0].args[0], L"C:\\src\\*.*");
  EXPECT_EQ(fake.CallsOf(L"CopyFileW")[0].args[1], L"C:\\dst\\\\a.txt");
}

TEST_F(CopyDirectoryTreeTest, FailIfExistsKeepsOrReplacesByItsLowByte) {
  struct Case {
    int flag;
    const char* after;
  };
  const Case cases[] = {{1, "old"}, {0, "a"}, {0x100, "a"}, {0x101, "old"}, {-1, "old"}};
  for (const Case& c : cases) {
    fake.AddFile(L"C:\\dst\\a.txt", "old");
    CopyDirectoryTree(fake, L"C:\\src", L"C:\\dst", c.flag);
    EXPECT_EQ(*fake.FileBytes(L"C:\\dst\\a.txt"), c.after) << c.flag;
  }
}

TEST_F(CopyDirectoryTreeTest, SamePathOrNoPathTouchesNothing) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\src", L"C:\\src"}, {L"C:\\src", L"c:\\SRC"}, {L"", L"C:\\dst"}, {L"C:\\src", L""}};
  for (const auto& [source, target] : cases) {
    EXPECT_EQ(CopyDirectoryTree(fake, source, target, 0), 0);
    EXPECT_TRUE(fake.calls().empty());
  }
}

TEST_F(CopyDirectoryTreeTest, TargetInsideItsSourceIsNotCopiedIntoItself) {
  fake.AddDirectory(L"C:\\src\\sub\\into");
  fake.ClearRecord();
  EXPECT_EQ(CopyDirectoryTree(fake, L"C:\\SRC", L"c:/src/sub/into/", 0), 1);
  EXPECT_EQ(*fake.FileBytes(L"C:\\src\\sub\\into\\a.txt"), "a");
  EXPECT_EQ(*fake.FileBytes(L"C:\\src\\sub\\into\\sub\\b.txt"), "b");
  EXPECT_FALSE(fake.PathFileExistsW(L"C:\\src\\sub\\into\\sub\\into"));
  EXPECT_LT(fake.calls().size(), 200u);
}

TEST(DeleteDirectoryTree, RemovesReadOnlyFilesAndNestedFolders) {
  FakePlatform fake;
  fake.AddFile(L"C:\\g\\save\\slot1.sav", "1");
  fake.AddFile(L"C:\\g\\save\\deep\\er\\ro.sav", "2");
  fake.SetReadOnly(L"C:\\g\\save\\deep\\er\\ro.sav");
  fake.AddDirectory(L"C:\\g\\save\\empty");
  fake.AddFile(L"C:\\g\\keep.txt", "k");
  fake.ClearRecord();
  EXPECT_EQ(DeleteDirectoryTree(fake, L"C:\\g\\save"), 1);
  EXPECT_FALSE(fake.PathFileExistsW(L"C:\\g\\save"));
  EXPECT_TRUE(fake.PathFileExistsW(L"C:\\g\\keep.txt"));
  EXPECT_EQ(fake.CallsOf(L"FindFirstFileW")[0].args[0], L"C:\\g\\save\\*");
  // Every entry is made normal before it goes.
  std::vector<FakeCall> effects = fake.Effects();
  ASSERT_GE(effects.size(), 2u);
  EXPECT_EQ(effects[0], (FakeCall{L"SetFileAttributesW", {L"C:\\g\\save\\deep", L"0x80"}}));
  EXPECT_EQ(effects.back(), (FakeCall{L"RemoveDirectoryW", {L"C:\\g\\save"}}));

  fake.ClearRecord();
  EXPECT_EQ(DeleteDirectoryTree(fake, L"C:\\g\\nothing"), 0);
  EXPECT_TRUE(fake.Effects().empty());
  // A plain file finds no entries and is not removed as a folder.
  EXPECT_EQ(DeleteDirectoryTree(fake, L"C:\\g\\keep.txt"), 1);
  EXPECT_TRUE(fake.PathFileExistsW(L"C:\\g\\keep.txt"));
}

}  // namespace
}  // namespace kestrel
