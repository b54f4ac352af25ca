// The copy and delete walks on real folders of the Linux machine model.

#include <unistd.h>

#include "platform/linux/test_machine.h"
#include "util/file_tree.h"

namespace kestrel {
namespace {

class FileTreeOnDisk : public TestMachine {
 protected:
  void Link(const std::string& target, const std::string& relative) {
    ASSERT_EQ(symlink(target.c_str(), (tmp_ + "/" + relative).c_str()), 0);
  }
};

TEST_F(FileTreeOnDisk, DeleteRemovesReadOnlyFilesAndNeverFollowsLinks) {
  MakeDir("save/deep/er");
  MakeDir("outside/folder");
  Write("outside/folder/precious.txt", "keep");
  Write("outside/file.txt", "keep");
  Write("save/ro.sav", "1", 0444);
  Write("save/deep/er/ro2.sav", "2", 0400);
  Link(tmp_ + "/outside/folder", "save/deep/folderlink");
  Link(tmp_ + "/outside/file.txt", "save/filelink");
  Link(tmp_ + "/nowhere", "save/dangling");
  Link(tmp_ + "/save", "save/deep/cycle");  // a link to one of its parents
  EXPECT_EQ(DeleteDirectoryTree(*os_, W(L"SAVE")), 1);
  EXPECT_FALSE(Exists("save"));
  EXPECT_EQ(Read("outside/folder/precious.txt"), "keep");
  EXPECT_EQ(Read("outside/file.txt"), "keep");
  struct stat st;
  ASSERT_EQ(stat((tmp_ + "/outside/file.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // its permissions were not touched through the link

  // A link handed over as the folder itself goes, and only the link.
  Link(tmp_ + "/outside", "gamelink");
  EXPECT_EQ(DeleteDirectoryTree(*os_, W(L"gamelink\\")), 1);
  EXPECT_FALSE(Exists("gamelink"));
  EXPECT_EQ(Read("outside/folder/precious.txt"), "keep");
  EXPECT_EQ(DeleteDirectoryTree(*os_, W(L"gamelink")), 0);
}

TEST_F(FileTreeOnDisk, DeleteGoesOnPastWhatItCannotRemove) {
  MakeDir("tree/locked");
  Write("tree/locked/a", "a");
  Write("tree/b", "b");
  chmod((tmp_ + "/tree/locked").c_str(), 0555);  // its entries cannot be removed
  EXPECT_EQ(DeleteDirectoryTree(*os_, W(L"tree")), 1);
  chmod((tmp_ + "/tree/locked").c_str(), 0755);
  if (geteuid() != 0) {
    EXPECT_TRUE(Exists("tree/locked/a"));
  }
  EXPECT_FALSE(Exists("tree/b"));
}

TEST_F(FileTreeOnDisk, CopyKeepsOrReplacesAndLeavesOutGamePatch) {
  MakeDir("src/GamePatch");
  MakeDir("src/sub/gamepatch");
  MakeDir("dst");
  Write("src/GamePatch/Config.ini", "[game_base]");
  Write("src/sub/gamepatch/x", "x");
  Write("src/Kestrel.EXE", "launcher");
  Write("src/same.txt", "new");
  Write("src/ro.txt", "ro", 0444);
  Write("src/sub/deep.txt", "deep");
  Write("dst/same.txt", "old");

  EXPECT_EQ(CopyDirectoryTree(*os_, W(L"src"), W(L"dst"), 1), 1);
  EXPECT_EQ(Read("dst/same.txt"), "old");
  EXPECT_EQ(Read("dst/sub/deep.txt"), "deep");
  EXPECT_EQ(Read("dst/ro.txt"), "ro");
  EXPECT_FALSE(Exists("dst/GamePatch"));
  EXPECT_FALSE(Exists("dst/sub/gamepatch"));
  EXPECT_FALSE(Exists("dst/Kestrel.EXE"));

  EXPECT_EQ(CopyDirectoryTree(*os_, W(L"src\\"), W(L"dst\\"), 0), 1);
  EXPECT_EQ(Read("dst/same.txt"), "new");
  // A read-only target stays as it is, as CopyFileW leaves it.
  Write("src/ro.txt", "changed", 0644);
  EXPECT_EQ(CopyDirectoryTree(*os_, W(L"src"), W(L"dst"), 0), 1);
  EXPECT_EQ(Read("dst/ro.txt"), "ro");
}

TEST_F(FileTreeOnDisk, CopyNeitherLoopsOnLinksNorIntoItself) {
  MakeDir("src/sub");
  MakeDir("elsewhere");
  Write("elsewhere/e.txt", "e");
  Write("src/sub/s.txt", "s");
  Link(tmp_ + "/src", "src/sub/loop");
  Link(tmp_ + "/elsewhere", "src/away");
  Link(tmp_ + "/elsewhere/e.txt", "src/file.lnk");

  MakeDir("src/sub/out");
  EXPECT_EQ(CopyDirectoryTree(*os_, W(L"src"), W(L"src\\sub\\out"), 0), 1);
  EXPECT_EQ(Read("src/sub/out/sub/s.txt"), "s");
  EXPECT_EQ(Read("src/sub/out/file.lnk"), "e");  // a file link is copied as the file
  EXPECT_FALSE(Exists("src/sub/out/sub/out"));
  EXPECT_FALSE(Exists("src/sub/out/away"));
  EXPECT_FALSE(Exists("src/sub/out/sub/loop"));
  EXPECT_EQ(Read("elsewhere/e.txt"), "e");
}

}  // namespace
}  // namespace kestrel
