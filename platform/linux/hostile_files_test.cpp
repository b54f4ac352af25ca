// The machine model against names and files that a damaged or hostile game
// folder holds: zeros inside paths, FIFOs, devices, files too large to
// read, links where the launcher writes, and a profile file reloaded while
// another thread reads it.

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/linux/test_machine.h"
#include "platform/linux/whole_file.h"

namespace kestrel {
namespace {

class HostileFilesTest : public TestMachine {};

// A zero would end the host path early and name the folder above: every
// call refuses such a path with error 123, whatever it is asked to do.
TEST_F(HostileFilesTest, PathsHoldingAZeroAreInvalidNames) {
  MakeDir("g/save");
  Write("g/save/slot.sav", "slot");
  const std::wstring zero = W(L"g\\save") + std::wstring(1, L'\0') + L"x";
  std::string bytes;
  const std::pair<const char*, std::function<bool()>> calls[] = {
      {"DeleteFileW", [&] { return os_->DeleteFileW(zero); }},
      {"RemoveDirectoryW", [&] { return os_->RemoveDirectoryW(zero); }},
      {"PathIsDirectoryW", [&] { return os_->PathIsDirectoryW(zero); }},
      {"PathFileExistsW", [&] { return os_->PathFileExistsW(zero); }},
      {"ReadFileBytes", [&] { return os_->ReadFileBytes(zero, bytes); }},
      {"WriteFileBytes", [&] { return os_->WriteFileBytes(zero, "x"); }},
      {"CopyFileW", [&] { return os_->CopyFileW(W(L"g\\save\\slot.sav"), zero, false); }},
      {"CreateDirectoryW", [&] { return os_->CreateDirectoryW(zero); }},
      {"ShellExecuteExW", [&] { return os_->ShellExecuteExW(0, L"", zero, L"", L"", 1, nullptr); }},
      {"WritePrivateProfileStringW",
       [&] { return os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"v"), zero); }},
  };
  for (const auto& [name, call] : calls) {
    os_->SetLastError(0);
    EXPECT_FALSE(call()) << name;
    EXPECT_EQ(os_->GetLastError(), win::kInvalidName) << name;
  }
  EXPECT_EQ(os_->GetFileAttributesW(zero), win::kInvalidFileAttributes);
  EXPECT_EQ(Read("g/save/slot.sav"), "slot");
}

// Only regular files are read whole; nothing here may block or run out of
// memory.  Windows' own open of such a name fails with access denied.
TEST_F(HostileFilesTest, WholeFileReadsTakeRegularFilesOnly) {
  MakeDir("g");
  ASSERT_EQ(mkfifo((tmp_ + "/g/fifo.cfg").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", (tmp_ + "/g/zero.cfg").c_str()), 0);
  Write("g/huge.cfg", "");
  ASSERT_EQ(truncate((tmp_ + "/g/huge.cfg").c_str(), static_cast<off_t>(kMaxWholeFileBytes) + 1), 0);
  Write("g/limit.cfg", "");
  ASSERT_EQ(truncate((tmp_ + "/g/limit.cfg").c_str(), static_cast<off_t>(kMaxWholeFileBytes)), 0);
  const std::pair<const wchar_t*, std::uint32_t> cases[] = {
      {L"g\\fifo.cfg", win::kAccessDenied},
      {L"g\\zero.cfg", win::kAccessDenied},
      {L"g", win::kAccessDenied},
      {L"g\\huge.cfg", 223u},  // ERROR_FILE_TOO_LARGE
  };
  for (const auto& [name, error] : cases) {
    std::string bytes = "old";
    EXPECT_FALSE(os_->ReadFileBytes(W(name), bytes)) << WideToUtf8(name);
    EXPECT_EQ(os_->GetLastError(), error) << WideToUtf8(name);
    // Profile reads give the default, never hang.
    EXPECT_EQ(os_->GetPrivateProfileStringW(L"s", L"k", L"def", 260, W(name)), L"def");
  }
  std::string bytes;
  EXPECT_TRUE(os_->ReadFileBytes(W(L"g\\limit.cfg"), bytes));
  EXPECT_EQ(bytes.size(), kMaxWholeFileBytes);
  // A profile file too large to read is not rewritten either.
  EXPECT_FALSE(os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"v"), W(L"g\\huge.cfg")));
}

// The launcher's own files in a game folder replace whatever stands at
// their name; what a link pointed to is never written.
TEST_F(HostileFilesTest, WritesReplaceALinkInsteadOfWritingThroughIt) {
  MakeDir("g");
  Write("victim.txt", "victim");
  ASSERT_EQ(symlink((tmp_ + "/victim.txt").c_str(), (tmp_ + "/g/reg.reg").c_str()), 0);
  ASSERT_EQ(symlink((tmp_ + "/nowhere").c_str(), (tmp_ + "/g/dangling.reg").c_str()), 0);
  ASSERT_EQ(mkfifo((tmp_ + "/g/CheckExist.kestrel").c_str(), 0644), 0);
  for (const wchar_t* name : {L"g\\reg.reg", L"g\\dangling.reg", L"g\\CheckExist.kestrel"}) {
    EXPECT_TRUE(os_->WriteFileBytes(W(name), "new")) << WideToUtf8(name);
    struct stat st;
    ASSERT_EQ(lstat((tmp_ + "/" + WideToUtf8(std::wstring(name).replace(1, 1, L"/"))).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << WideToUtf8(name);
  }
  EXPECT_EQ(Read("g/reg.reg"), "new");
  EXPECT_EQ(Read("victim.txt"), "victim");
  EXPECT_FALSE(Exists("nowhere"));
  // A read-only file is still refused, as CreateFileW refuses it.
  Write("g/ro.reg", "ro", 0444);
  EXPECT_FALSE(os_->WriteFileBytes(W(L"g\\ro.reg"), "new"));
  EXPECT_EQ(os_->GetLastError(), win::kAccessDenied);
}

// Readers on two threads while a third rewrites the file, so that the
// cache reloads it again and again: every value read is one that was
// written (a reader must never see text freed by a reload).
TEST_F(HostileFilesTest, ProfileReadsWhileAnotherThreadReloads) {
  MakeDir("g");
  const std::wstring file = W(L"g\\Config.ini");
  const std::wstring values[] = {L"short", std::wstring(200, L'L') + L"long"};
  ASSERT_TRUE(os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), values[0], file));
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  auto reader = [&] {
    while (!done) {
      std::wstring v = os_->GetPrivateProfileStringW(L"s", L"k", L"", 260, file);
      if (v != values[0] && v != values[1]) ++wrong;
    }
  };
  std::thread a(reader), b(reader);
  for (int i = 0; i < 300; ++i) os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), values[i % 2], file);
  done = true;
  a.join();
  b.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace kestrel
