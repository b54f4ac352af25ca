#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/linux/test_machine.h"

namespace kestrel {
namespace {

class LinuxFilesTest : public TestMachine {
 protected:
  std::vector<std::wstring> List(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    FindDataW data;
    Handle find = os_->FindFirstFileW(pattern, data);
    if (find == kInvalidHandleValue) {
      names.push_back(L"error " + std::to_wstring(os_->GetLastError()));
      return names;
    }
    do names.push_back(data.fileName + ((data.attributes & win::kFileAttributeDirectory) ? L"/" : L""));
    while (os_->FindNextFileW(find, data));
    EXPECT_EQ(os_->GetLastError(), win::kNoMoreFiles);
    EXPECT_TRUE(os_->FindClose(find));
    return names;
  }
};

TEST_F(LinuxFilesTest, EnumerationFollowsWindowsWildcards) {
  MakeDir("ft/Sub");
  for (const char* name : {"a.reg", "B.REG", "c.regx", "noext", "d.txt.reg"}) Write(std::string("ft/") + name, "x");
  struct Case {
    std::wstring pattern;
    std::vector<std::wstring> names;
  };
  const Case cases[] = {
      {L"FT\\*.reg", {L"a.reg", L"B.REG", L"d.txt.reg"}},
      {L"ft\\*.*", {L"./", L"../", L"a.reg", L"B.REG", L"c.regx", L"d.txt.reg", L"noext", L"Sub/"}},
      {L"ft\\*", {L"./", L"../", L"a.reg", L"B.REG", L"c.regx", L"d.txt.reg", L"noext", L"Sub/"}},
      {L"ft\\noext.*", {L"noext"}},
      {L"ft\\*.", {L"Sub/", L"noext"}},
      {L"ft\\?.reg", {L"a.reg", L"B.REG"}},
      {L"ft\\SUB", {L"Sub/"}},
      {L"nodir\\*", {L"error 3"}},
      {L"ft\\zz*", {L"error 2"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> got = List(W(c.pattern)), want = c.names;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << WideToUtf8(c.pattern);
  }
  // One order on every machine: by name without regard to case.
  EXPECT_EQ(List(W(L"ft\\*")), (std::vector<std::wstring>{L"./", L"../", L"a.reg", L"B.REG", L"c.regx", L"d.txt.reg",
                                                          L"noext", L"Sub/"}));
  // A drive's root lists no "." or "..", also where it is a folder that
  // another drive shows: that folder, named on its own drive, does.
  std::vector<std::wstring> root = List(L"C:\\*");
  EXPECT_EQ(std::count(root.begin(), root.end(), L"./"), 0);
  ASSERT_EQ(symlink((tmp_ + "/ft").c_str(), (tmp_ + "/root/dosdevices/e:").c_str()), 0);
  root = List(L"e:\\*");
  EXPECT_EQ(std::count(root.begin(), root.end(), L"./"), 0);
  EXPECT_EQ(std::count(root.begin(), root.end(), L"a.reg"), 1);
  root = List(W(L"ft\\*"));
  EXPECT_EQ(std::count(root.begin(), root.end(), L"./"), 1);
  FindDataW data;
  EXPECT_FALSE(os_->FindNextFileW(0x7777, data));
  EXPECT_EQ(os_->GetLastError(), win::kInvalidHandle);
}

TEST_F(LinuxFilesTest, FileOperationsSetWindowsErrors) {
  MakeDir("d/full");
  Write("d/full/f.txt", "1");
  Write("d/a.txt", "source");
  Write("d/ro.txt", "locked", 0444);
  struct Case {
    const char* what;
    std::function<bool()> call;
    bool ok;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"mkdir exists", [&] { return os_->CreateDirectoryW(W(L"d")); }, false, win::kAlreadyExists},
      {"mkdir no parent", [&] { return os_->CreateDirectoryW(W(L"nodir\\x")); }, false, win::kPathNotFound},
      {"mkdir", [&] { return os_->CreateDirectoryW(W(L"d\\new")); }, true, 0},
      {"rmdir not empty", [&] { return os_->RemoveDirectoryW(W(L"d\\full")); }, false, win::kDirNotEmpty},
      {"rmdir file", [&] { return os_->RemoveDirectoryW(W(L"d\\a.txt")); }, false, win::kDirectory},
      {"rmdir missing", [&] { return os_->RemoveDirectoryW(W(L"d\\gone")); }, false, win::kFileNotFound},
      {"rmdir", [&] { return os_->RemoveDirectoryW(W(L"D\\NEW")); }, true, 0},
      {"delete folder", [&] { return os_->DeleteFileW(W(L"d\\full")); }, false, win::kAccessDenied},
      {"delete no path", [&] { return os_->DeleteFileW(W(L"nodir\\x")); }, false, win::kPathNotFound},
      {"delete missing", [&] { return os_->DeleteFileW(W(L"d\\x")); }, false, win::kFileNotFound},
      {"delete read-only", [&] { return os_->DeleteFileW(W(L"d\\ro.txt")); }, false, win::kAccessDenied},
      {"copy exists", [&] { return os_->CopyFileW(W(L"d\\a.txt"), W(L"d\\ro.txt"), true); }, false, win::kFileExists},
      {"copy onto read-only", [&] { return os_->CopyFileW(W(L"d\\a.txt"), W(L"d\\ro.txt"), false); }, false,
       win::kAccessDenied},
      {"copy no source", [&] { return os_->CopyFileW(W(L"d\\x"), W(L"d\\y"), true); }, false, win::kFileNotFound},
      {"copy no target folder", [&] { return os_->CopyFileW(W(L"d\\a.txt"), W(L"nodir\\y"), true); }, false,
       win::kPathNotFound},
      {"copy onto itself", [&] { return os_->CopyFileW(W(L"d\\a.txt"), W(L"D\\A.TXT"), false); }, false,
       win::kSharingViolation},
      {"copy", [&] { return os_->CopyFileW(W(L"d\\A.txt"), W(L"d\\b.txt"), true); }, true, 0},
      {"copy over", [&] { return os_->CopyFileW(W(L"d\\ro.txt"), W(L"d\\b.txt"), false); }, true, 0},
      {"write over read-only", [&] { return os_->WriteFileBytes(W(L"d\\ro.txt"), "x"); }, false, win::kAccessDenied},
      {"write no folder", [&] { return os_->WriteFileBytes(W(L"nodir\\x"), "x"); }, false, win::kPathNotFound},
      {"write", [&] { return os_->WriteFileBytes(W(L"d\\w.txt"), "new"); }, true, 0},
      {"attributes of missing", [&] { return os_->SetFileAttributesW(W(L"d\\x"), 0x80); }, false, win::kFileNotFound},
      {"path outside every drive", [&] { return os_->DeleteFileW(L"Q:\\x"); }, false, win::kPathNotFound},
  };
  for (const Case& c : cases) {
    os_->SetLastError(12345);
    EXPECT_EQ(c.call(), c.ok) << c.what;
    EXPECT_EQ(os_->GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(Read("d/b.txt"), "locked");
  EXPECT_EQ(os_->GetFileAttributesW(W(L"d\\b.txt")), win::kFileAttributeReadonly);  // the copy keeps read-only
  EXPECT_EQ(Read("d/w.txt"), "new");
  EXPECT_TRUE(os_->WriteFileBytes(W(L"d\\w.txt"), ""));
  EXPECT_EQ(Read("d/w.txt"), "");
  EXPECT_FALSE(Exists("d/new"));
}

TEST_F(LinuxFilesTest, ReadOnlyIsTheWritePermission) {
  Write("f.txt", "x", 0644);
  EXPECT_EQ(os_->GetFileAttributesW(W(L"F.TXT")), win::kFileAttributeArchive);
  EXPECT_TRUE(os_->SetFileAttributesW(W(L"f.txt"), win::kFileAttributeReadonly));
  EXPECT_EQ(os_->GetFileAttributesW(W(L"f.txt")), win::kFileAttributeReadonly);
  EXPECT_FALSE(os_->DeleteFileW(W(L"f.txt")));
  EXPECT_TRUE(os_->SetFileAttributesW(W(L"f.txt"), win::kFileAttributeNormal));
  EXPECT_TRUE(os_->DeleteFileW(W(L"f.txt")));
  EXPECT_FALSE(Exists("f.txt"));
  EXPECT_EQ(os_->GetFileAttributesW(W(L"")), win::kFileAttributeDirectory);
  EXPECT_EQ(os_->GetFileAttributesW(W(L"nodir\\x")), win::kInvalidFileAttributes);
  EXPECT_EQ(os_->GetLastError(), win::kPathNotFound);
  EXPECT_TRUE(os_->PathIsDirectoryW(W(L"")));
}

TEST_F(LinuxFilesTest, AListingAnswersOnlyForMomentsAndOnlyItsOwnEntries) {
  MakeDir("w");
  for (const char* name : {"ro.txt", "gone.txt", "Case.txt", "late.txt", "mine.txt"}) Write(std::string("w/") + name, "x");
  chmod((tmp_ + "/w/ro.txt").c_str(), 0444);
  FindDataW data;
  Handle find = os_->FindFirstFileW(W(L"w\\*"), data);
  ASSERT_NE(find, kInvalidHandleValue);
  os_->FindClose(find);
  // Right after the listing: clearing read-only and deleting, as a walk does.
  EXPECT_TRUE(os_->SetFileAttributesW(W(L"w\\ro.txt"), win::kFileAttributeNormal));
  EXPECT_TRUE(os_->DeleteFileW(W(L"w\\ro.txt")));
  EXPECT_FALSE(Exists("w/ro.txt"));
  // Another spelling, or another platform object, looks at the disk.
  unlink((tmp_ + "/w/Case.txt").c_str());
  EXPECT_FALSE(os_->DeleteFileW(W(L"w\\CASE.TXT")));
  EXPECT_EQ(os_->GetLastError(), win::kFileNotFound);
  LinuxPlatform other{MachineRoot(tmp_ + "/root")};
  unlink((tmp_ + "/w/mine.txt").c_str());
  EXPECT_FALSE(other.DeleteFileW(W(L"w\\mine.txt")));
  // Later, what changed since the listing counts.
  unlink((tmp_ + "/w/gone.txt").c_str());
  chmod((tmp_ + "/w/late.txt").c_str(), 0444);
  usleep(20000);
  EXPECT_FALSE(os_->DeleteFileW(W(L"w\\gone.txt")));
  EXPECT_EQ(os_->GetLastError(), win::kFileNotFound);
  EXPECT_FALSE(os_->DeleteFileW(W(L"w\\late.txt")));
  EXPECT_EQ(os_->GetLastError(), win::kAccessDenied);
  EXPECT_TRUE(Exists("w/late.txt"));
}

TEST_F(LinuxFilesTest, NamesOthersMakeBetweenOurCopiesAreStillMatched) {
  Write("a.txt", "ours");
  // A folder and files made one after another, as a tree copy makes them.
  ASSERT_TRUE(os_->CreateDirectoryW(W(L"t")));
  ASSERT_TRUE(os_->CreateDirectoryW(W(L"t\\sub")));
  for (const wchar_t* name : {L"t\\one.txt", L"t\\two.txt", L"t\\sub\\x.txt"})
    ASSERT_TRUE(os_->CopyFileW(W(L"a.txt"), W(name), false)) << name;
  // Another program makes names right after: the next copy replaces them,
  // whatever their case, rather than making a second name beside them.
  Write("t/THREE.TXT", "theirs");
  MakeDir("t/sub/Deeper");
  ASSERT_TRUE(os_->CopyFileW(W(L"a.txt"), W(L"t\\three.txt"), false));
  EXPECT_EQ(Read("t/THREE.TXT"), "ours");
  EXPECT_FALSE(Exists("t/three.txt"));
  EXPECT_FALSE(os_->CreateDirectoryW(W(L"t\\sub\\deeper")));
  EXPECT_EQ(os_->GetLastError(), win::kAlreadyExists);
  EXPECT_FALSE(os_->CopyFileW(W(L"a.txt"), W(L"t\\ONE.TXT"), true));
  EXPECT_EQ(os_->GetLastError(), win::kFileExists);
  // And a name removed by another is gone.
  unlink((tmp_ + "/t/two.txt").c_str());
  EXPECT_FALSE(os_->PathFileExistsW(W(L"t\\TWO.txt")));
}

TEST_F(LinuxFilesTest, CopiesKeepPermissionsAndTimeWhateverTheUmask) {
  // 0666 and 0777 lose bits to the usual umask when made, 0444 has no
  // write bit to make the copy with; each must still come out as it was.
  const mode_t modes[] = {0444, 0600, 0640, 0644, 0666, 0755, 0777};
  MakeDir("m");
  Write("m/existing.txt", "old", 0600);
  for (mode_t mode : modes) {
    std::string name = "m/f" + std::to_string(mode);
    Write(name, "data " + std::to_string(mode), mode);
    struct timespec times[2] = {{1000000000, 0}, {1234567890, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, (tmp_ + "/" + name).c_str(), times, 0), 0);
    for (const std::string& target : {name + ".new", std::string("m/existing.txt")}) {
      ASSERT_TRUE(os_->CopyFileW(W(Utf8ToWide(name)), W(Utf8ToWide(target)), false)) << target;
      struct stat st;
      ASSERT_EQ(stat((tmp_ + "/" + target).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, mode) << target;
      EXPECT_EQ(st.st_mtim.tv_sec, 1234567890) << target;
      EXPECT_EQ(Read(target), "data " + std::to_string(mode));
      chmod((tmp_ + "/m/existing.txt").c_str(), 0600);
    }
  }
}

TEST_F(LinuxFilesTest, DrivesAreTheLinksPresent) {
  std::string dos = tmp_ + "/root/dosdevices/";
  MakeDir("e");
  ASSERT_EQ(symlink((tmp_ + "/e").c_str(), (dos + "e:").c_str()), 0);
  ASSERT_EQ(symlink((tmp_ + "/gone").c_str(), (dos + "f:").c_str()), 0);  // dangling: no drive
  std::wstring buffer;
  EXPECT_EQ(os_->GetLogicalDriveStringsW(260, buffer), 12u);
  EXPECT_EQ(buffer, std::wstring(L"C:\\\0E:\\\0Z:\\\0", 12));
  EXPECT_EQ(os_->GetLogicalDriveStringsW(12, buffer), 13u);  // too small: the size needed
  EXPECT_EQ(buffer, L"");
  EXPECT_FALSE(os_->PathFileExistsW(L"F:\\x"));
  EXPECT_EQ(os_->GetLastError(), win::kPathNotFound);
}

TEST_F(LinuxFilesTest, KnownFoldersAreMadeOnFirstUse) {
  std::wstring appData = os_->SHGetSpecialFolderPathW(26);
  std::wstring user = appData.substr(9, appData.find(L'\\', 9) - 9);
  EXPECT_EQ(appData, L"C:\\users\\" + user + L"\\AppData\\Roaming");
  EXPECT_TRUE(os_->PathIsDirectoryW(appData));
  const std::pair<int, std::wstring> cases[] = {
      {5, L"C:\\users\\" + user + L"\\Documents"},
      {20, L"C:\\windows\\Fonts"},
      {37, L"C:\\windows\\system32"},
      {38, L"C:\\Program Files"},
      {42, L"C:\\Program Files (x86)"},
      {40, L"C:\\users\\" + user},
      {29, L""},  // CSIDL_ALTSTARTUP: no such folder, and never the drive's root
      {30, L""},
      {999, L""},
  };
  for (const auto& [id, path] : cases) {
    EXPECT_EQ(os_->SHGetSpecialFolderPathW(id), path) << id;
    if (!path.empty()) {
      EXPECT_TRUE(os_->PathIsDirectoryW(path)) << id;
    }
  }
}

}  // namespace
}  // namespace kestrel
