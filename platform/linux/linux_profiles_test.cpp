#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/test_machine.h"

namespace kestrel {
namespace {

class LinuxProfilesTest : public TestMachine {};

TEST_F(LinuxProfilesTest, WritesChangeOneKeyAndAreSeenAtOnce) {
  const std::string before = "\xFF\xFE" + WideToUtf16Le(L"; note\r\n[game_base]\r\nmainExe=a.exe\r\ncurrntVer=1\r\n");
  Write("Config.ini", before);
  std::wstring file = W(L"CONFIG.INI");
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"game_base", L"currntVer", 0, file), 1);
  EXPECT_TRUE(os_->WritePrivateProfileStringW(L"game_base", std::wstring(L"currntVer"), std::wstring(L"2"), file));
  EXPECT_EQ(Read("Config.ini"),
            "\xFF\xFE" + WideToUtf16Le(L"; note\r\n[game_base]\r\nmainExe=a.exe\r\ncurrntVer=2\r\n"));
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"game_base", L"currntVer", 0, file), 2);
  std::wstring section;
  EXPECT_EQ(os_->GetPrivateProfileSectionW(L"GAME_BASE", section, 1024, file), 26u);
  EXPECT_EQ(section, std::wstring(L"mainExe=a.exe\0currntVer=2\0\0", 27));
}

// A drive re-pointed in the same instant (as subst does between two games)
// must never serve the file of the folder it left.
TEST_F(LinuxProfilesTest, AReadThroughARepointedDriveSeesTheNewFolder) {
  MakeDir("GameA/GamePatch");
  MakeDir("GameB/GamePatch");
  Write("GameA/GamePatch/Config.ini", "[game_base]\r\nmainExe=a.exe\r\n");
  Write("GameB/GamePatch/Config.ini", "[game_base]\r\nmainExe=b.exe\r\n");
  const std::string link = tmp_ + "/root/dosdevices/q:";
  const std::wstring file = L"Q:\\GamePatch\\Config.ini";
  for (int round = 0; round < 20; ++round) {
    unlink(link.c_str());
    ASSERT_EQ(symlink((tmp_ + "/GameA").c_str(), link.c_str()), 0);
    EXPECT_EQ(os_->GetPrivateProfileStringW(L"game_base", L"mainExe", L"", 260, file), L"a.exe");
    unlink(link.c_str());
    ASSERT_EQ(symlink((tmp_ + "/GameB").c_str(), link.c_str()), 0);
    EXPECT_EQ(os_->GetPrivateProfileStringW(L"game_base", L"mainExe", L"", 260, file), L"b.exe") << round;
  }
}

TEST_F(LinuxProfilesTest, WritesFailLikeWindows) {
  Write("ro.ini", "[s]\r\nk=1\r\n", 0444);
  struct Case {
    const char* what;
    std::wstring file;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"read-only", W(L"ro.ini"), win::kAccessDenied},
      {"no folder", W(L"nodir\\x.ini"), win::kPathNotFound},
      {"a folder", W(L""), win::kAccessDenied},
      {"no name", L"", win::kAccessDenied},
      {"no drive", L"Q:\\x.ini", win::kPathNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"2"), c.file)) << c.what;
    EXPECT_EQ(os_->GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(Read("ro.ini"), "[s]\r\nk=1\r\n");
  EXPECT_FALSE(os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"a\nb=c"), W(L"new.ini")));
  EXPECT_EQ(os_->GetLastError(), win::kInvalidParameter);
  EXPECT_FALSE(Exists("new.ini"));
}

TEST_F(LinuxProfilesTest, LinksAreFollowedAndBareNamesLiveInTheWindowsFolder) {
  MakeDir("real");
  Write("real/set.ini", "[a]\nx=1\n");
  ASSERT_EQ(symlink((tmp_ + "/real/set.ini").c_str(), (tmp_ + "/link.ini").c_str()), 0);
  EXPECT_TRUE(os_->WritePrivateProfileStringW(L"a", std::wstring(L"x"), std::wstring(L"2"), W(L"link.ini")));
  EXPECT_EQ(Read("real/set.ini"), "[a]\nx=2\n");
  EXPECT_EQ(Read("link.ini"), "[a]\nx=2\n");

  os_->SHGetSpecialFolderPathW(36);  // C:\windows
  EXPECT_TRUE(os_->WritePrivateProfileStringW(L"s", std::wstring(L"k"), std::wstring(L"v"), L"bare.ini"));
  EXPECT_EQ(Read("root/drive_c/windows/bare.ini"), "[s]\r\nk=v\r\n");
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"s", L"k", L"", 260, L"BARE.INI"), L"v");
}

TEST_F(LinuxProfilesTest, TwoWritersAtOnceLoseNothing) {
  Write("shared.ini", "[s]\r\n");
  const int kWrites = 40;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    if (children[c] == 0) {
      LinuxPlatform own(MachineRoot(tmp_ + "/root"));
      for (int i = 0; i < kWrites; ++i)
        own.WritePrivateProfileStringW(L"s", L"w" + std::to_wstring(c) + L"k" + std::to_wstring(i), std::wstring(L"1"),
                                       W(L"shared.ini"));
      _exit(0);
    }
  }
  for (pid_t child : children) waitpid(child, nullptr, 0);
  std::wstring section;
  os_->GetPrivateProfileSectionW(L"s", section, 65536, W(L"shared.ini"));
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kWrites; ++i)
      EXPECT_NE(section.find(L"w" + std::to_wstring(c) + L"k" + std::to_wstring(i) + L"=1"), std::wstring::npos)
          << c << " " << i;
}

TEST_F(LinuxProfilesTest, BadFilesReadAsWindowsWould) {
  std::string nul("[s]\r\nk=a\0b\r\n", 13);
  std::string longLine = "[s]\r\nk=" + std::string(1 << 20, 'x') + "\r\n[t]\r\nk=after\r\n";
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
  std::string truncated = "\xFF\xFE" + WideToUtf16Le(L"[s]\r\nk=value").substr(0, 17);
  Write("nul.ini", nul);
  Write("long.ini", longLine);
  Write("many.ini", many);
  Write("truncated.ini", truncated);
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"s", L"k", L"", 260, W(L"nul.ini")).substr(0, 1), L"a");
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"s", L"k", L"", 260, W(L"long.ini")), std::wstring(259, L'x'));
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"t", L"k", L"", 260, W(L"long.ini")), L"after");
  EXPECT_EQ(os_->GetPrivateProfileIntW(L"s9999", L"k", 0, W(L"many.ini")), 9999);
  EXPECT_EQ(os_->GetPrivateProfileStringW(L"s", L"k", L"", 260, W(L"truncated.ini")), L"v");  // the odd last byte is dropped
}

}  // namespace
}  // namespace kestrel
