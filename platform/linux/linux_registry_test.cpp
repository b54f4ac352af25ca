#include <sys/stat.h>

#include <vector>

#include "platform/linux/test_machine.h"
#include "platform/model/reg_file.h"

namespace kestrel {
namespace {

class LinuxRegistryTest : public TestMachine {
 protected:
  std::vector<std::uint8_t> Sz(const std::wstring& text) {
    std::string b = WideToUtf16Le(text);
    b.append(2, '\0');
    return std::vector<std::uint8_t>(b.begin(), b.end());
  }
};

TEST_F(LinuxRegistryTest, ValuesRoundTripThroughTheStoreFile) {
  const std::wstring layers = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  std::vector<std::uint8_t> mode = Sz(L"WINXPSP3");
  EXPECT_EQ(os_->SHSetValueW(RegRoot::kCurrentUser, layers, L"Z:\\g\\game.exe", win::kRegSz, mode), 0);
  std::uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(os_->SHSetValueW(RegRoot::kLocalMachine, L"SOFTWARE\\Uninstall\\Redist", L"Installed", win::kRegDword, one),
            0);
  // Both land in Wine's own files, HKLM\Software where a 32-bit program
  // of a 64-bit prefix finds it.
  std::string user = Read("root/user.reg");
  ASSERT_EQ(user.substr(0, 24), "WINE REGISTRY Version 2\n");
  EXPECT_NE(user.find(";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n"),
            std::string::npos);
  EXPECT_NE(user.find("[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\AppCompatFlags\\\\Layers] "),
            std::string::npos);
  EXPECT_NE(user.find("\n\"Z:\\\\g\\\\game.exe\"=\"WINXPSP3\"\n"), std::string::npos);
  std::string system = Read("root/system.reg");
  EXPECT_NE(system.find("[SOFTWARE\\\\Wow6432Node\\\\Uninstall\\\\Redist] "), std::string::npos);
  EXPECT_NE(system.find("\n\"Installed\"=dword:00000001\n"), std::string::npos);

  // A second platform (another launcher) reads what the first wrote.
  LinuxPlatform other(MachineRoot(tmp_ + "/root"));
  std::uint8_t buffer[520] = {};
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(other.SHGetValueW(RegRoot::kCurrentUser, layers, L"z:\\G\\GAME.EXE", &type, buffer, &size), 0);
  EXPECT_EQ(type, win::kRegSz);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + size), mode);
  EXPECT_EQ(other.SHGetValueW(RegRoot::kCurrentUser, layers, L"z:\\G\\GAME.EXE", &type, std::span(buffer, 4), &size),
            win::kMoreData);
  EXPECT_EQ(size, mode.size());
  EXPECT_EQ(other.SHGetValueW(RegRoot::kCurrentUser, layers, L"none", &type, buffer, &size), win::kFileNotFound);

  Handle key = kNoHandle;
  EXPECT_EQ(other.RegOpenKeyExW(RegRoot::kLocalMachine, L"software\\UNINSTALL\\redist", win::kKeyRead, &key), 0);
  EXPECT_EQ(other.RegCloseKey(key), 0);
  std::uint8_t dword[4] = {};
  EXPECT_EQ(other.SHGetValueW(RegRoot::kLocalMachine, L"software\\UNINSTALL\\redist", L"installed", &type, dword, &size),
            0);
  EXPECT_EQ(type, win::kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(other.RegOpenKeyExW(RegRoot::kLocalMachine, L"SOFTWARE\\Uninstall\\Missing", win::kKeyRead, &key), 2);
  EXPECT_EQ(key, kNoHandle) << "not the closed key's handle";
}

TEST_F(LinuxRegistryTest, ExpandableStringsComeBackExpanded) {
  std::vector<std::uint8_t> raw = Sz(L"%SystemRoot%\\x");
  EXPECT_EQ(os_->SHSetValueW(RegRoot::kCurrentUser, L"Software\\K", L"e", win::kRegExpandSz, raw), 0);
  std::uint8_t buffer[200] = {};
  std::uint32_t type = 0, size = 0;
  // As the shell answers: REG_SZ, and the larger of the two sizes.
  EXPECT_EQ(os_->SHGetValueW(RegRoot::kCurrentUser, L"Software\\K", L"e", &type, buffer, &size), 0);
  EXPECT_EQ(type, win::kRegSz);
  EXPECT_EQ(size, 30u);
  EXPECT_EQ(Utf16LeToWide(std::string(reinterpret_cast<char*>(buffer), 24)), L"C:\\windows\\x");
}

TEST_F(LinuxRegistryTest, AnUnreadableStoreIsKeptBeforeItIsOverwritten) {
  MakeDir("root");
  Write("root/system.reg", std::string("\x00\x01garbage\xFF", 10));
  std::uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(os_->SHSetValueW(RegRoot::kLocalMachine, L"SOFTWARE\\A", L"v", win::kRegDword, one), 0);
  std::string cmd = "cat '" + tmp_ + "'/root/system.reg.unreadable-* > '" + tmp_ + "/copy'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(Read("copy"), std::string("\x00\x01garbage\xFF", 10));
  std::uint32_t type = 0, size = 0;
  std::uint8_t got[4] = {};
  EXPECT_EQ(os_->SHGetValueW(RegRoot::kLocalMachine, L"SOFTWARE\\A", L"v", &type, got, &size), 0);
}

TEST_F(LinuxRegistryTest, CompatibilityLayersBecomeWinesWindowsVersion) {
  const std::wstring layers = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  struct {
    const wchar_t* layer;
    const wchar_t* exe;
    const wchar_t* version;  // empty: Wine's own is left alone
  } cases[] = {
      {L"WINXPSP3", L"a.exe", L"winxp"},
      {L"~ HIGHDPIAWARE win7rtm", L"b.exe", L"win7"},
      {L"WIN98", L"c.exe", L"win98"},
      {L"RUNASADMIN", L"d.exe", L""},
      {L"WINXPSP4", L"e.exe", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(os_->SHSetValueW(RegRoot::kCurrentUser, layers, std::wstring(L"Z:\\g\\") + c.exe, win::kRegSz, Sz(c.layer)),
              0);
    std::uint8_t buffer[64] = {};
    std::uint32_t type = 0, size = 0;
    long rc = os_->SHGetValueW(RegRoot::kCurrentUser, std::wstring(L"Software\\Wine\\AppDefaults\\") + c.exe,
                               L"Version", &type, buffer, &size);
    if (*c.version) {
      EXPECT_EQ(rc, 0) << c.layer;
      EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + size), Sz(c.version)) << c.layer;
    } else {
      EXPECT_EQ(rc, win::kFileNotFound) << c.layer;
    }
  }
}

TEST_F(LinuxRegistryTest, EarlierStoreFilesAreMergedOnce) {
  MakeDir("root");
  std::wstring old = L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KxView\\GInfo]\r\n"
                     L"\"10001\"=\"Foo\"\r\n";
  Write("root/HKLM.reg", "\xFF\xFE" + WideToUtf16Le(old));
  std::uint8_t buffer[64] = {};
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(os_->SHGetValueW(RegRoot::kLocalMachine, L"SOFTWARE\\KxView\\GInfo", L"10001", &type, buffer, &size), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + size), Sz(L"Foo"));
  EXPECT_NE(Read("root/system.reg").find("[SOFTWARE\\\\Wow6432Node\\\\KxView\\\\GInfo]"), std::string::npos);
  EXPECT_EQ(Read("root/HKLM.reg.migrated").substr(0, 2), "\xFF\xFE");
  struct stat st;
  EXPECT_NE(stat((tmp_ + "/root/HKLM.reg").c_str(), &st), 0);
}

}  // namespace
}  // namespace kestrel
