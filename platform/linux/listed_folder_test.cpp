// Operations on the entries of a folder while a listing of it is open,
// which reach them through the listing's open folder.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/linux/test_machine.h"

namespace kestrel {
namespace {

class ListedFolderTest : public TestMachine {
 protected:
  /// Opens a listing of `folder` that stays open for the test.
  void Open(const std::wstring& folder) {
    FindDataW data;
    find_ = os_->FindFirstFileW(W(folder + L"\\*"), data);
    ASSERT_NE(find_, kInvalidHandleValue);
  }
  void TearDown() override {
    if (find_ != kInvalidHandleValue) os_->FindClose(find_);
    TestMachine::TearDown();
  }
  Handle find_ = kInvalidHandleValue;
};

TEST_F(ListedFolderTest, EntriesKeepEveryRuleOfTheLongWay) {
  MakeDir("g/sub");
  MakeDir("out/dir");
  Write("g/sub/f", "1");
  Write("g/a.txt", "a");
  Write("g/ro.txt", "r", 0444);
  Write("out/target.txt", "t");
  Write("out/dir/kept", "k");
  ASSERT_EQ(symlink((tmp_ + "/out/target.txt").c_str(), (tmp_ + "/g/flink").c_str()), 0);
  ASSERT_EQ(symlink((tmp_ + "/out/dir").c_str(), (tmp_ + "/g/dlink").c_str()), 0);
  ASSERT_EQ(mkfifo((tmp_ + "/g/fifo").c_str(), 0644), 0);
  Open(L"g");
  struct Case {
    const char* what;
    std::function<bool()> call;
    bool ok;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"delete read-only", [&] { return os_->DeleteFileW(W(L"g\\ro.txt")); }, false, win::kAccessDenied},
      {"delete folder", [&] { return os_->DeleteFileW(W(L"g\\sub")); }, false, win::kAccessDenied},
      {"delete missing", [&] { return os_->DeleteFileW(W(L"g\\none")); }, false, win::kFileNotFound},
      {"rmdir not empty", [&] { return os_->RemoveDirectoryW(W(L"g\\sub")); }, false, win::kDirNotEmpty},
      {"rmdir file link", [&] { return os_->RemoveDirectoryW(W(L"g\\flink")); }, false, win::kDirectory},
      // A FIFO is not opened: the copy would wait for a writer for ever.
      {"copy FIFO", [&] { return os_->CopyFileW(W(L"g\\fifo"), W(L"g\\copy"), false); }, false, win::kAccessDenied},
      {"copy", [&] { return os_->CopyFileW(W(L"g\\a.txt"), W(L"g\\b.txt"), true); }, true, 0},
      {"copy through a link", [&] { return os_->CopyFileW(W(L"g\\flink"), W(L"g\\c.txt"), true); }, true, 0},
      {"normal", [&] { return os_->SetFileAttributesW(W(L"g\\ro.txt"), win::kFileAttributeNormal); }, true, 0},
      {"delete was read-only", [&] { return os_->DeleteFileW(W(L"g\\ro.txt")); }, true, 0},
      {"delete in another case", [&] { return os_->DeleteFileW(W(L"g\\A.TXT")); }, true, 0},
      {"delete file link", [&] { return os_->DeleteFileW(W(L"g\\flink")); }, true, 0},
      {"rmdir folder link", [&] { return os_->RemoveDirectoryW(W(L"g\\dlink")); }, true, 0},
      {"one level down", [&] { return os_->DeleteFileW(W(L"g\\sub\\f")); }, true, 0},
      {"rmdir", [&] { return os_->RemoveDirectoryW(W(L"g\\sub")); }, true, 0},
  };
  for (const Case& c : cases) {
    os_->SetLastError(12345);
    EXPECT_EQ(c.call(), c.ok) << c.what;
    EXPECT_EQ(os_->GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(Read("g/b.txt"), "a");
  EXPECT_EQ(Read("g/c.txt"), "t");
  EXPECT_FALSE(Exists("g/copy"));
  for (const char* gone : {"g/ro.txt", "g/a.txt", "g/flink", "g/dlink", "g/sub"}) EXPECT_FALSE(Exists(gone)) << gone;
  // What the links led to stays.
  EXPECT_EQ(Read("out/target.txt"), "t");
  EXPECT_EQ(Read("out/dir/kept"), "k");
}

TEST_F(ListedFolderTest, ANameWhoseWholePathDoesNotFitIsRefused) {
  // A folder whose host path is just short enough to be listed; a name in
  // it makes the whole path longer than a path may be.
  std::string deep, win;
  while (tmp_.size() + deep.size() < PATH_MAX - 300) {
    deep += "/" + std::string(200, 'd');
    win += "\\" + std::string(200, 'd');
  }
  MakeDir(deep.substr(1));
  const std::string name(250, 'n');
  int folder = open((tmp_ + deep).c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  int file = openat(folder, name.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(file, 0);
  close(file);
  Open(Utf8ToWide(win.substr(1)));
  EXPECT_FALSE(os_->DeleteFileW(W(Utf8ToWide(win.substr(1) + "\\" + name))));
  EXPECT_EQ(os_->GetLastError(), win::kFilenameTooLong);
  struct stat st;
  EXPECT_EQ(fstatat(folder, name.c_str(), &st, 0), 0);
  // Nor is such a name made there, by a copy or as a folder, though the
  // folder itself was looked in.
  Write("src.txt", "x");
  for (char letter : {'f', 'g'}) {
    const std::string fresh(250, letter);
    const std::wstring path = W(Utf8ToWide(win.substr(1) + "\\" + fresh));
    EXPECT_FALSE(letter == 'f' ? os_->CopyFileW(W(L"src.txt"), path, false) : os_->CreateDirectoryW(path));
    EXPECT_EQ(os_->GetLastError(), win::kFilenameTooLong) << letter;
    EXPECT_NE(fstatat(folder, fresh.c_str(), &st, AT_SYMLINK_NOFOLLOW), 0) << letter;
  }
  close(folder);
}

}  // namespace
}  // namespace kestrel
