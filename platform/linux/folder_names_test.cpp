#include "platform/linux/folder_names.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kestrel {
namespace {

class FolderNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestrel-names-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tmp_ = dir;
  }
  void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + tmp_ + "'").c_str()), 0); }
  void Touch(const std::string& name) { std::ofstream(tmp_ + "/" + name) << "x"; }
  /// Enough other names that the folder is watched rather than listed.
  void Fill(const std::string& folder) {
    for (int i = 0; i < 100; ++i) Touch(folder + "/filler" + std::to_string(i));
  }
  /// What Find says of `name` in the folder: the name on disk, "" for
  /// none, "error" when the folder cannot be read.
  std::string Look(FolderNames& names, const std::wstring& name, const std::string& dir = "") {
    std::string found;
    if (!names.Find(dir.empty() ? tmp_ : dir, name, found)) return "error";
    return found;
  }

  std::string tmp_;
};

TEST_F(FolderNamesTest, ChangesMadeAfterTheFirstLookAreSeen) {
  FolderNames names;
  Fill(".");
  Touch("Config.INI");
  EXPECT_EQ(Look(names, L"config.ini"), "Config.INI");
  EXPECT_EQ(Look(names, L"new.txt"), "");

  // Changes by any means after the folder was read: made, renamed,
  // removed, and two names that differ only in case.
  Touch("NEW.TXT");
  EXPECT_EQ(Look(names, L"new.txt"), "NEW.TXT");
  ASSERT_EQ(std::rename((tmp_ + "/Config.INI").c_str(), (tmp_ + "/other.ini").c_str()), 0);
  EXPECT_EQ(Look(names, L"CONFIG.ini"), "");
  EXPECT_EQ(Look(names, L"Other.Ini"), "other.ini");
  Touch("new.txt");
  ASSERT_EQ(unlink((tmp_ + "/NEW.TXT").c_str()), 0);
  EXPECT_EQ(Look(names, L"New.Txt"), "new.txt");
  ASSERT_EQ(unlink((tmp_ + "/new.txt").c_str()), 0);
  EXPECT_EQ(Look(names, L"New.Txt"), "");
  Touch("\xE6\xB8\xB8\xE6\x88\x8F.dat");  // 游戏.dat
  EXPECT_EQ(Look(names, L"\u6E38\u620F.DAT"), "\xE6\xB8\xB8\xE6\x88\x8F.dat");
}

TEST_F(FolderNamesTest, AFolderReplacedUnderItsPathIsReadAgain) {
  FolderNames names;
  const std::string dir = tmp_ + "/game";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  Fill("game");
  Touch("game/Old.txt");
  EXPECT_EQ(Look(names, L"old.txt", dir), "Old.txt");
  ASSERT_EQ(std::rename(dir.c_str(), (tmp_ + "/moved").c_str()), 0);
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  Touch("game/Fresh.txt");
  EXPECT_EQ(Look(names, L"old.txt", dir), "");
  EXPECT_EQ(Look(names, L"FRESH.TXT", dir), "Fresh.txt");
  EXPECT_EQ(Look(names, L"x", tmp_ + "/missing"), "error");
  EXPECT_EQ(Look(names, L"x", tmp_ + "/game/Fresh.txt"), "error");
}

TEST_F(FolderNamesTest, ASmallFolderChangedAfterItsListingIsReadAgain) {
  FolderNames names;
  EXPECT_EQ(Look(names, L"a.txt"), "");
  Touch("A.TXT");
  EXPECT_EQ(Look(names, L"a.txt"), "A.TXT");
  Fill(".");
  EXPECT_EQ(Look(names, L"FILLER7"), "filler7");
  Touch("b.txt");
  EXPECT_EQ(Look(names, L"B.TXT"), "b.txt");
}

TEST(ListingHolds, OnlyTheSameStampStrictlyOlderThanTheListing) {
  const timespec start{100, 500};
  const FolderStamp listed{7, 42, {100, 400}, {100, 300}};
  auto with = [&](auto change) {
    FolderStamp s = listed;
    change(s);
    return s;
  };
  struct Case {
    const char* what;
    FolderStamp listed;
    timespec start;
    FolderStamp now;
    bool holds;
  };
  const Case cases[] = {
      {"unchanged and older", listed, start, listed, true},
      {"names changed", listed, start, with([](FolderStamp& s) { s.modified.tv_nsec = 600; }), false},
      {"inode changed", listed, start, with([](FolderStamp& s) { s.changed.tv_sec = 101; }), false},
      {"another folder", listed, start, with([](FolderStamp& s) { s.inode = 43; }), false},
      {"another device", listed, start, with([](FolderStamp& s) { s.device = 8; }), false},
      // Changed in the tick the listing began: a second change in that
      // tick would leave the same stamp.
      {"mtime at the start", with([](FolderStamp& s) { s.modified.tv_nsec = 500; }), start,
       with([](FolderStamp& s) { s.modified.tv_nsec = 500; }), false},
      {"ctime after the start", with([](FolderStamp& s) { s.changed = {100, 501}; }), start,
       with([](FolderStamp& s) { s.changed = {100, 501}; }), false},
      // Stamps in whole seconds count from the end of their second.
      {"whole second, same second", {7, 42, {100, 0}, {100, 0}}, start, {7, 42, {100, 0}, {100, 0}}, false},
      {"whole second, before", {7, 42, {99, 0}, {99, 0}}, start, {7, 42, {99, 0}, {99, 0}}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(ListingHolds(c.listed, c.start, c.now), c.holds) << c.what;
  // Where stamps are fine-grained, the same stamp is enough, however recent.
  const FolderStamp recent{7, 42, {100, 500}, {100, 501}};
  EXPECT_TRUE(ListingHolds(recent, start, recent, true));
  EXPECT_FALSE(ListingHolds(recent, start, {7, 42, {100, 500}, {100, 502}}, true));
  EXPECT_FALSE(ListingHolds(recent, start, {7, 43, {100, 500}, {100, 501}}, true));
}

TEST(ProvesFineStamps, OnlyAChangeThatMovedAStampOfTheSameTick) {
  const timespec tick{100, 500};
  const FolderStamp was{7, 42, {100, 600}, {100, 600}};
  const FolderStamp moved{7, 42, {100, 601}, {100, 601}};
  struct Case {
    const char* what;
    timespec before, after;
    FolderStamp was, now;
    bool proves;
  };
  const Case cases[] = {
      {"moved within the tick", tick, tick, was, moved, true},
      {"stamp at the tick itself, moved", tick, tick, {7, 42, {100, 500}, {100, 500}}, moved, true},
      // A coarse file system moves an older stamp to the current tick.
      {"stamp older than the tick", tick, tick, {7, 42, {100, 400}, {100, 400}}, moved, false},
      {"clock ticked meanwhile", tick, {100, 900}, was, moved, false},
      {"stamp did not move", tick, tick, was, was, false},
      {"another folder", tick, tick, was, {7, 43, {100, 601}, {100, 601}}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(ProvesFineStamps(c.before, c.after, c.was, c.now), c.proves) << c.what;
}

TEST_F(FolderNamesTest, NamesWeMakeAreTakenInAndOthersAreStillSeen) {
  FolderNames names;
  auto make = [&](const std::string& name) {
    int fd = open((tmp_ + "/" + name).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << name;
    close(fd);
  };
  // A copy's pattern: look, make, tell; a hundred times in a row, past
  // the size from which names are kept in an index.
  for (int i = 0; i < 100; ++i) {
    std::string name = "f";
    name += std::to_string(i);
    ASSERT_EQ(Look(names, L"F" + std::to_wstring(i)), "");
    make(name);
    names.Made(tmp_, name, false);
  }
  EXPECT_EQ(Look(names, L"F99"), "f99");
  EXPECT_EQ(Look(names, L"F7"), "f7");
  if (names.fineFileSystems() > 0)
    EXPECT_LE(names.listings(), 3u) << "a file system that stamps finely is not listed again for our own names";
  else
    EXPECT_GE(names.listings(), 64u) << "coarse stamps: a small folder is listed for each lookup";

  // Made by someone else right after our last change: seen.
  Touch("Other.TXT");
  EXPECT_EQ(Look(names, L"other.txt"), "Other.TXT");
  ASSERT_EQ(unlink((tmp_ + "/f3").c_str()), 0);
  EXPECT_EQ(Look(names, L"F3"), "");

  // Told of a name that was not made: the stamp did not move, so the
  // listing is dropped rather than trusted with a name that is not there.
  const std::size_t before = names.listings();
  names.Made(tmp_, "ghost", false);
  EXPECT_EQ(Look(names, L"GHOST"), "");
  EXPECT_EQ(names.listings(), before + 1);

  // A folder we make starts with what was in it when it was made: nothing.
  ASSERT_EQ(mkdir((tmp_ + "/sub").c_str(), 0755), 0);
  names.Made(tmp_, "sub", true);
  EXPECT_EQ(Look(names, L"x", tmp_ + "/sub"), "");
  Touch("sub/X");
  EXPECT_EQ(Look(names, L"x", tmp_ + "/sub"), "X");
}

TEST_F(FolderNamesTest, AListingIsUsedAgainOnlyWhileItsStampVouchesForIt) {
  // A stamp before the listing's start, as any folder has that was not
  // changed in the last clock tick.
  auto settle = [&](const std::string& dir) {
    const timespec past[2] = {{1000000000, 5}, {1000000000, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.c_str(), past, 0), 0);
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    timespec now;
    do {  // the ctime the line above set is now; wait out its tick
      usleep(1000);
      clock_gettime(CLOCK_REALTIME_COARSE, &now);
    } while (now.tv_sec < st.st_ctim.tv_sec + (st.st_ctim.tv_nsec == 0) ||
             (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec <= st.st_ctim.tv_nsec));
  };
  FolderNames names;
  Touch("Config.ini");
  settle(tmp_);
  EXPECT_EQ(Look(names, L"CONFIG.INI"), "Config.ini");
  EXPECT_EQ(Look(names, L"run.bat"), "");
  EXPECT_EQ(Look(names, L"config.ini"), "Config.ini");
  EXPECT_EQ(names.listings(), 1u);

  // Names made, renamed and removed right after a listing are seen.
  Touch("Run.BAT");
  EXPECT_EQ(Look(names, L"run.bat"), "Run.BAT");
  ASSERT_EQ(std::rename((tmp_ + "/Run.BAT").c_str(), (tmp_ + "/run.bat").c_str()), 0);
  EXPECT_EQ(Look(names, L"RUN.bat"), "run.bat");
  ASSERT_EQ(unlink((tmp_ + "/Config.ini").c_str()), 0);
  EXPECT_EQ(Look(names, L"config.ini"), "");
  EXPECT_EQ(names.listings(), 4u);

  // A folder whose stamp is not older than the listing is listed each time.
  const timespec future[2] = {{4000000000, 0}, {4000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, tmp_.c_str(), future, 0), 0);
  EXPECT_EQ(Look(names, L"run.bat"), "run.bat");
  EXPECT_EQ(Look(names, L"run.bat"), "run.bat");
  EXPECT_EQ(names.listings(), 6u);

  // A large folder is kept the same way, its names found through an index.
  Fill(".");
  settle(tmp_);
  EXPECT_EQ(Look(names, L"FILLER42"), "filler42");
  EXPECT_EQ(Look(names, L"RUN.BAT"), "run.bat");
  EXPECT_EQ(Look(names, L"filler100"), "");
  EXPECT_EQ(names.listings(), 7u);
  Touch("Filler100");
  EXPECT_EQ(Look(names, L"filler100"), "Filler100");
}

TEST_F(FolderNamesTest, ManyFoldersAndAForkedChildStayCorrect) {
  FolderNames names;
  // More folders than are kept: the first ones are let go and read again.
  for (int i = 0; i < 40; ++i) {
    // Appended, not "d" + string: GCC 12's -Wrestrict misreads that at -O3.
    std::string folder = "d";
    folder += std::to_string(i);
    std::string dir = tmp_ + "/" + folder;
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    Fill(folder);
    std::string file = "F";
    file += std::to_string(i);
    Touch(folder + "/" + file);
    EXPECT_EQ(Look(names, L"f" + std::to_wstring(i), dir), file);
  }
  Touch("d0/Later");
  Touch("d39/Later");
  EXPECT_EQ(Look(names, L"LATER", tmp_ + "/d0"), "Later");
  EXPECT_EQ(Look(names, L"LATER", tmp_ + "/d39"), "Later");

  // A child looks for itself and leaves the parent's queue alone.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Touch("d39/Child");
    bool ok = Look(names, L"child", tmp_ + "/d39") == "Child";
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Look(names, L"CHILD", tmp_ + "/d39"), "Child");
}

}  // namespace
}  // namespace kestrel
