#include "platform/linux/machine_root.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace kestrel {
namespace {

class MachineRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestrel-root-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tmp_ = dir;
    root_ = MachineRoot(tmp_ + "/root");
    ASSERT_TRUE(root_.Ensure());
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + tmp_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void Touch(const std::string& path) { std::ofstream(path) << "x"; }

  std::string tmp_;
  MachineRoot root_{"/nonexistent"};
};

TEST_F(MachineRootTest, MakeHostDirsMakesMissingParentsAndRefusesFilesInTheWay) {
  Touch(tmp_ + "/file");
  const struct {
    std::string path;
    bool made;
  } cases[] = {
      {tmp_ + "/root", true},           // there already
      {tmp_ + "/a/b/c", true},          // three missing, made from the top down
      {tmp_ + "/a/b/c/", true},         // the same, with a trailing slash
      {tmp_ + "/file", false},          // a file at the name
      {tmp_ + "/file/below", false},    // a file on the way
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeHostDirs(c.path), c.made) << c.path;
    struct stat st;
    EXPECT_EQ(stat(c.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode), c.made) << c.path;
  }
}

TEST_F(MachineRootTest, DrivesCAndZExist) {
  EXPECT_EQ(root_.DriveTarget(L'C'), tmp_ + "/root/drive_c");
  EXPECT_EQ(root_.DriveTarget(L'z'), "/");
  EXPECT_EQ(root_.DriveTarget(L'Q'), "");
  EXPECT_EQ(root_.Drives(), (std::vector<wchar_t>{L'C', L'Z'}));
}

TEST_F(MachineRootTest, ComponentsMatchWithoutRegardToCase) {
  mkdir((tmp_ + "/Foo").c_str(), 0755);
  mkdir((tmp_ + "/Foo/gamepatch").c_str(), 0755);
  Touch(tmp_ + "/Foo/gamepatch/Config.INI");
  Touch(tmp_ + "/Foo/both");
  Touch(tmp_ + "/Foo/BOTH");
  std::wstring base = root_.ToWindows(tmp_);
  // Paths on a drive lead through its link.
  const std::string z = tmp_ + "/root/dosdevices/z:" + tmp_;
  std::string host;
  std::uint32_t error;
  struct Case {
    std::wstring path;
    std::string host;
  };
  const Case cases[] = {
      {base + L"\\FOO\\GamePatch\\config.ini", z + "/Foo/gamepatch/Config.INI"},
      {base + L"/foo/GAMEPATCH/", z + "/Foo/gamepatch"},
      {base + L"\\Foo\\both", z + "/Foo/both"},  // the exact name wins
      {base + L"\\Foo\\BOTH", z + "/Foo/BOTH"},
      {base + L"\\Foo\\.\\x\\..\\gamepatch", z + "/Foo/gamepatch"},
      {base + L"\\Missing\\Child", z + "/Missing/Child"},
      {L"C:\\..\\..\\windows", tmp_ + "/root/dosdevices/c:/windows"},  // never above the drive
      // A name not there yet: in a folder written as on disk, in one
      // written in another case, below a missing folder or below a file.
      {base + L"\\Foo\\gamepatch\\CONFIG.ini", z + "/Foo/gamepatch/Config.INI"},
      {base + L"\\Foo\\gamepatch\\New.txt", z + "/Foo/gamepatch/New.txt"},
      {base + L"\\foo\\GAMEPATCH\\New.txt", z + "/Foo/gamepatch/New.txt"},
      {base + L"\\FOO\\Missing\\gamepatch", z + "/Foo/Missing/gamepatch"},
      {base + L"\\Foo\\both\\x", z + "/Foo/both/x"},
      {base + L"\\Foo\\x\\..\\..\\foo\\BOTH", z + "/Foo/BOTH"},
      // Names that begin with dots are names; a doubled separator is one.
      {base + L"\\Foo\\gamepatch\\.x", z + "/Foo/gamepatch/.x"},
      {base + L"\\Foo\\..x\\New.txt", z + "/Foo/..x/New.txt"},
      {base + L"\\Foo\\\\gamepatch\\config.ini", z + "/Foo/gamepatch/Config.INI"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(root_.ToHost(c.path, host, error));
    EXPECT_EQ(host, c.host);
  }
}

TEST_F(MachineRootTest, PathsWithoutADriveAreNotFound) {
  std::string host;
  std::uint32_t error = 0;
  EXPECT_FALSE(root_.ToHost(L"Q:\\x", host, error));
  EXPECT_EQ(error, win::kPathNotFound);
  EXPECT_FALSE(root_.ToHost(L"\\\\server\\share\\x", host, error));
  // A dangling drive link is no drive.
  ASSERT_EQ(symlink((tmp_ + "/gone").c_str(), (tmp_ + "/root/dosdevices/q:").c_str()), 0);
  EXPECT_FALSE(root_.ToHost(L"Q:\\x", host, error));
  EXPECT_EQ(error, win::kPathNotFound);
}

TEST_F(MachineRootTest, ADrivePointedElsewhereIsFollowedAtOnce) {
  for (const char* dir : {"/a", "/b"}) {
    mkdir((tmp_ + dir).c_str(), 0755);
    Touch(tmp_ + dir + "/only-" + (dir + 1));
  }
  const std::string link = tmp_ + "/root/dosdevices/d:";
  ASSERT_EQ(symlink((tmp_ + "/a").c_str(), link.c_str()), 0);
  std::string host;
  std::uint32_t error;
  MachineRoot::Found found;
  ASSERT_TRUE(root_.ToHost(L"d:\\ONLY-A", host, error, &found));
  EXPECT_EQ(host, link + "/only-a");
  EXPECT_EQ(root_.PlainHost(host), tmp_ + "/a/only-a");
  EXPECT_EQ(root_.ToWindows(host), L"D:\\only-a");
  ASSERT_TRUE(root_.ToHost(L"D:\\", host, error, &found));
  EXPECT_TRUE(found.driveRoot);
  EXPECT_EQ(root_.PlainHost(host), tmp_ + "/a");

  // subst /D and a new subst between two calls: the next call sees b.
  ASSERT_EQ(unlink(link.c_str()), 0);
  ASSERT_EQ(symlink((tmp_ + "/b").c_str(), link.c_str()), 0);
  struct stat st;
  EXPECT_NE(stat((link + "/only-a").c_str(), &st), 0);
  ASSERT_TRUE(root_.ToHost(L"D:\\only-b", host, error, &found));
  EXPECT_TRUE(found.exists);
  EXPECT_EQ(root_.PlainHost(host), tmp_ + "/b/only-b");
  ASSERT_TRUE(root_.ToHost(L"D:\\only-a", host, error, &found));
  EXPECT_FALSE(found.exists);

  // Removed: no drive, and no path through it.
  ASSERT_EQ(unlink(link.c_str()), 0);
  EXPECT_FALSE(root_.ToHost(L"D:\\only-b", host, error));
  EXPECT_EQ(error, win::kPathNotFound);
  EXPECT_FALSE(root_.ToHost(L"D:\\", host, error));
  EXPECT_EQ(root_.ToWindows(link + "/only-b"), L"");
}

TEST_F(MachineRootTest, HostPathsShowThroughTheLongestDrive) {
  EXPECT_EQ(root_.ToWindows("/srv/games/Foo"), L"Z:\\srv\\games\\Foo");
  EXPECT_EQ(root_.ToWindows(tmp_ + "/root/drive_c/Games/Foo"), L"C:\\Games\\Foo");
  EXPECT_EQ(root_.ToWindows(tmp_ + "/root/drive_c"), L"C:\\");
  EXPECT_EQ(root_.ToWindows("/"), L"Z:\\");
  mkdir((tmp_ + "/d").c_str(), 0755);
  ASSERT_EQ(symlink((tmp_ + "/d").c_str(), (tmp_ + "/root/dosdevices/d:").c_str()), 0);
  EXPECT_EQ(root_.ToWindows(tmp_ + "/d/x/../y"), L"D:\\y");
  EXPECT_EQ(root_.ToWindows(tmp_ + "/dd"), root_.ToWindows(tmp_) + L"\\dd");  // a prefix must end at a "/"
}

TEST(NormalizeHostPath, IsLexical) {
  EXPECT_EQ(NormalizeHostPath("/a/./b//c/../d/"), "/a/b/d");
  EXPECT_EQ(NormalizeHostPath("/../.."), "/");
}

}  // namespace
}  // namespace kestrel
