#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "text/utf.h"

namespace kestrel {
namespace {

class LinuxPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestrel-linux-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tmp_ = dir;
    os_ = std::make_unique<LinuxPlatform>(MachineRoot(tmp_ + "/root"));
    os_->InitializeFramework();
    base_ = os_->NativePathToWindows(Utf8ToWide(tmp_));
  }
  void TearDown() override {
    os_.reset();
    std::string cmd = "rm -rf '" + tmp_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void Write(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary) << bytes;
    chmod(path.c_str(), mode);
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Waits for a detached program to leave its mark.
  std::string WaitFor(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
      std::string text = Read(path);
      if (text.find("done") != std::string::npos) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Read(path);
  }

  std::string tmp_;
  std::wstring base_;
  std::unique_ptr<LinuxPlatform> os_;
};

TEST_F(LinuxPlatformTest, ProfileFilesInEveryEncodingReadAlike) {
  const std::wstring text = L"[game_base]\r\nmainExe=游戏.exe\r\nparam=\"-w\"\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"utf16", "\xFF\xFE" + WideToUtf16Le(text)},
      {"utf8bom", "\xEF\xBB\xBF" + WideToUtf8(text)},
      {"utf8", WideToUtf8(text)},
      {"gbk", "[game_base]\r\nmainExe=\xD3\xCE\xCF\xB7.exe\r\nparam=\"-w\"\r\n"},
  };
  for (const Case& c : cases) {
    Write(tmp_ + "/" + c.name + ".ini", c.bytes);
    std::wstring file = base_ + L"\\" + Utf8ToWide(c.name) + L".INI";
    EXPECT_EQ(os_->GetPrivateProfileStringW(L"GAME_BASE", L"mainexe", L"", 260, file), L"游戏.exe") << c.name;
    EXPECT_EQ(os_->GetPrivateProfileStringW(L"game_base", L"param", L"", 260, file), L"-w") << c.name;
  }
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"game_base", L"mainExe", L"none", 260, base_ + L"\\missing.ini"), L"none");
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"game_base", L"mainExe", 9, base_ + L"\\missing.ini"), 9);
}

TEST_F(LinuxPlatformTest, ProfileChangesAreSeen) {
  Write(tmp_ + "/c.ini", "[s]\nk=1\n");
  std::wstring file = base_ + L"\\c.ini";
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"s", L"k", 0, file), 1);
  Write(tmp_ + "/c.ini", "[s]\nk=22\n");
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"s", L"k", 0, file), 22);
}

TEST_F(LinuxPlatformTest, ShellExecuteStartsDetachedWithWindowsArguments) {
  mkdir((tmp_ + "/Foo").c_str(), 0755);
  Write(tmp_ + "/Foo/game.exe",
        "#!/bin/sh\n{ for a in \"$@\"; do echo \"arg=$a\"; done; echo \"cwd=$(pwd)\"; echo \"sid=$(ps -o sid= -p $$)\";"
        " echo done; } > \"$(dirname \"$0\")/record.txt\"\n",
        0755);
  std::intptr_t result = os_->ShellExecuteW(L"open", base_ + L"\\foo\\GAME.exe", L"-window \"a b\" /s",
                                            base_ + L"\\Foo", 1);
  EXPECT_GT(result, 32);
  EXPECT_EQ(os_->GetLastError(), 0u);
  std::string record = WaitFor(tmp_ + "/Foo/record.txt");
  EXPECT_NE(record.find("arg=-window\narg=a b\narg=/s\ncwd=" + tmp_ + "/Foo\n"), std::string::npos) << record;
  std::string ownSid = std::to_string(getsid(0));
  EXPECT_EQ(record.find("sid=" + ownSid + "\n"), std::string::npos) << "not in a session of its own: " << record;
}

TEST_F(LinuxPlatformTest, ShellExecuteFailuresSetWindowsErrors) {
  Write(tmp_ + "/plain.txt", "text", 0644);
  struct Case {
    std::wstring file, directory;
    std::uint32_t error;
  };
  const Case cases[] = {
      {base_ + L"\\missing.exe", L"", win::kFileNotFound},
      {base_ + L"\\nodir\\missing.exe", L"", win::kFileNotFound},
      {L"Q:\\game.exe", L"", win::kPathNotFound},
      {base_ + L"\\plain.txt", L"", win::kNoAssociation},
      {base_, L"", win::kNoAssociation},
  };
  for (const Case& c : cases) {
    os_->SetLastError(0);
    EXPECT_LE(os_->ShellExecuteW(L"open", c.file, L"", c.directory, 1), 32);
    EXPECT_EQ(os_->GetLastError(), c.error) << WideToUtf8(c.file);
  }
}

TEST_F(LinuxPlatformTest, MutexIsHeldUntilItsHolderEnds) {
  os_->CreateMutexW(L"KestrelExTest", true);
  EXPECT_EQ(os_->GetLastError(), 0u);
  os_->CreateMutexW(L"KestrelExTest", true);  // a second launcher sees it
  EXPECT_EQ(os_->GetLastError(), win::kAlreadyExists);
  os_->CreateMutexW(L"Other/Name:*", true);
  EXPECT_EQ(os_->GetLastError(), 0u);

  // A holder that has ended holds nothing.
  pid_t child = fork();
  if (child == 0) {
    LinuxPlatform other(MachineRoot(tmp_ + "/root"));
    other.CreateMutexW(L"Crashed", true);
    _exit(0);
  }
  int status;
  waitpid(child, &status, 0);
  os_->CreateMutexW(L"Crashed", true);
  EXPECT_EQ(os_->GetLastError(), 0u);
}

TEST_F(LinuxPlatformTest, ThreadsAreWaitedFor) {
  int ran = 0;
  Handle h = os_->BeginThread([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ran = 1;
  });
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitFailed);
}

TEST_F(LinuxPlatformTest, AnsiCodePageIsGbkByDefault) {
  EXPECT_EQ(AnsiCodePage("").FromWide(L"游戏"), "\xD3\xCE\xCF\xB7");
  EXPECT_EQ(AnsiCodePage("").ToWide("\xD3\xCE\xCF\xB7"), L"游戏");
  EXPECT_EQ(AnsiCodePage("1252").FromWide(L"\u00e9\u6e38"), "\xE9?");
  EXPECT_EQ(AnsiCodePage("GBK").ToWide("a\xFF"), L"a\uFFFD");
}

}  // namespace
}  // namespace kestrel
