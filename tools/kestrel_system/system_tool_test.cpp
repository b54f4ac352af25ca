#include "tools/kestrel_system/system_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/linux/linux_test_support.h"
#include "platform/linux/registry_store.h"

namespace kestrel {
namespace {

class SystemToolTest : public testing::LinuxMachineTest {
 protected:
  int Run(const std::string& tool, const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    MachineRoot root(tmp_ + "/root");
    ToolContext context{root, out_, err_};
    return RunSystemTool(tool, args, context);
  }
  /// A value of the store as text ("" when missing).
  std::wstring Value(RegRoot hive, const std::wstring& key, const std::wstring& name) {
    RegistryStore store(tmp_ + "/root", nullptr, [](std::string_view b) { return Utf8ToWide(b); });
    std::wstring text;
    store.Read(hive, [&](const RegistryStore::KeyLookup& find) {
      const RegistryKey* k = find(key);
      if (const RegistryValue* v = k ? k->FindValue(name) : nullptr) {
        if (v->type == win::kRegDword && v->data.size() == 4)
          text = std::to_wstring(v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) | (v->data[3] << 24));
        else
          text = Utf16LeToWide(std::string(v->data.begin(), v->data.end())).c_str();
      }
    });
    return text;
  }
  std::ostringstream out_, err_;
};

TEST_F(SystemToolTest, RegeditImportsBothFileVersions) {
  Write("v5.reg", "\xFF\xFE" + WideToUtf16Le(L"Windows Registry Editor Version 5.00\r\n\r\n"
                                              L"[HKEY_CURRENT_USER\\Software\\Kestrel\\Game]\r\n"
                                              L"\"Path\"=\"D:\\\\Games\\\\游戏\"\r\n\"Count\"=dword:0000002a\r\n"
                                              L"[-HKEY_CURRENT_USER\\Software\\Old]\r\n"));
  Write("v4.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrel]\r\n\"Name\"=\"\xD3\xCE\xCF\xB7\"\r\n");
  EXPECT_EQ(Run("regedit", {"/s", WideToUtf8(Win("v5.reg"))}), 0) << err_.str();
  EXPECT_EQ(Run("Regedit.exe", {"-S", WideToUtf8(Win("V4.REG"))}), 0) << err_.str();
  EXPECT_EQ(Value(RegRoot::kCurrentUser, L"software\\kestrel\\game", L"path"), L"D:\\Games\\游戏");
  EXPECT_EQ(Value(RegRoot::kCurrentUser, L"Software\\Kestrel\\Game", L"Count"), L"42");
  EXPECT_EQ(Value(RegRoot::kLocalMachine, L"SOFTWARE\\Kestrel", L"Name"), L"游戏");  // GBK by default
}

TEST_F(SystemToolTest, RegeditNamesTheBadLineAndFails) {
  Write("bad.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n\"A\"=\"1\"\r\n\"B\"=dword:xyz\r\n\"C\"=\"3\"\r\n");
  EXPECT_NE(Run("regedit", {"/s", WideToUtf8(Win("bad.reg"))}), 0);
  EXPECT_NE(err_.str().find("line 4"), std::string::npos) << err_.str();
  EXPECT_EQ(Value(RegRoot::kCurrentUser, L"Software\\K", L"C"), L"3");  // the rest still applied
  Write("notreg.txt", "hello");
  EXPECT_NE(Run("regedit", {"/s", WideToUtf8(Win("notreg.txt"))}), 0);
  EXPECT_NE(Run("regedit", {"/s", WideToUtf8(Win("missing.reg"))}), 0);
  EXPECT_NE(err_.str().find("Cannot import"), std::string::npos);
  EXPECT_NE(Run("regedit", {}), 0);
}

TEST_F(SystemToolTest, RegeditExportsAKeyThatImportsBack) {
  Write("in.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\K\\Sub]\r\n\"A\"=\"x\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"B\"=\"y\"\r\n");
  ASSERT_EQ(Run("regedit", {"/s", WideToUtf8(Win("in.reg"))}), 0);
  ASSERT_EQ(Run("regedit", {"/e", WideToUtf8(Win("out.reg")), "HKEY_CURRENT_USER\\Software\\K"}), 0) << err_.str();
  std::wstring text = Utf16LeToWide(Read(Path("out.reg")).substr(2));
  EXPECT_EQ(text.rfind(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n", 0), 0u)
      << WideToUtf8(text);
  EXPECT_NE(text.find(L"[HKEY_CURRENT_USER\\Software\\K\\Sub]\r\n\"A\"=\"x\""), std::wstring::npos);
  EXPECT_EQ(text.find(L"Other"), std::wstring::npos);
  EXPECT_NE(Run("regedit", {"/e", WideToUtf8(Win("none.reg")), "HKCU\\Software\\Missing"}), 0);
  ASSERT_EQ(Run("regedit", {"/e", WideToUtf8(Win("all.reg"))}), 0);
  std::wstring all = Utf16LeToWide(Read(Path("all.reg")).substr(2));
  EXPECT_NE(all.find(L"Other"), std::wstring::npos);
}

TEST_F(SystemToolTest, SubstMapsListsAndRemoves) {
  MakeDir("My Game");
  Write("My Game/marker.txt", "here");
  ASSERT_EQ(Run("subst", {"f:", WideToUtf8(Win("My Game"))}), 0) << err_.str();
  EXPECT_EQ(Read(tmp_ + "/root/dosdevices/f:/marker.txt"), "here");
  std::string host;
  std::uint32_t error;
  MachineRoot root(tmp_ + "/root");
  ASSERT_TRUE(root.ToHost(L"F:\\MARKER.TXT", host, error));
  EXPECT_EQ(Read(host), "here");
  ASSERT_EQ(Run("subst", {}), 0);
  EXPECT_EQ(out_.str(), "F:\\: => " + WideToUtf8(Win("My Game")) + "\n");

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case errors[] = {
      {{"F:", WideToUtf8(Win("My Game"))}, "Drive already SUBSTed\n"},
      {{"C:", WideToUtf8(Win("My Game"))}, "Invalid parameter - C:\n"},  // a fixed drive
      {{"G:", WideToUtf8(Win("missing"))}, "Path not found - " + WideToUtf8(Win("missing")) + "\n"},
      {{"G:", WideToUtf8(Win("My Game/marker.txt"))}, "Path not found - " + WideToUtf8(Win("My Game/marker.txt")) + "\n"},
      {{"1:", "C:\\"}, "Invalid parameter - 1:\n"},
      {{"GG", "C:\\"}, "Invalid parameter - GG\n"},
      {{"G:"}, "Incorrect number of parameters - G:\n"},
      {{"G:", "C:\\", "x"}, "Incorrect number of parameters - x\n"},
      {{"Z:", "/D"}, "Invalid parameter - Z:\n"},  // fixed drives are never removed
      {{"H:", "/d"}, "Invalid parameter - H:\n"},
  };
  for (const Case& c : errors) {
    EXPECT_EQ(Run("subst.exe", c.args), 1) << c.message;
    EXPECT_EQ(err_.str(), c.message);
  }
  EXPECT_EQ(Run("subst", {"F:", "/D"}), 0);
  EXPECT_EQ(Run("subst", {}), 0);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(root.DriveTarget(L'F'), "");
  EXPECT_NE(root.DriveTarget(L'Z'), "");
}

TEST_F(SystemToolTest, ComponentsAndScriptsNeedWine) {
  Write("a.dll", "MZ");
  EXPECT_EQ(Run("regsvr32", {"/s", WideToUtf8(Win("a.dll"))}), 3);
  EXPECT_NE(err_.str().find("needs Wine"), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find('\n'), err_.str().size() - 1);  // one line
  EXPECT_EQ(Run("wscript", {WideToUtf8(Win("missing.vbs"))}), 3);
  EXPECT_NE(err_.str().find("not found"), std::string::npos);
  // With Wine, the tool hands the file over in a form Wine understands.
  MakeDir("tools");
  WriteRecorder("tools/wine", "record.txt", 0);
  env_.Set("KESTREL_WINE", Path("tools/wine"));
  EXPECT_EQ(Run("regsvr32", {"/s", WideToUtf8(Win("a.dll"))}), 0) << err_.str();
  std::string record = Read(Path("record.txt"));
  std::string winPath = "Z:" + Path("a.dll");
  for (char& ch : winPath)
    if (ch == '/') ch = '\\';
  EXPECT_NE(record.find("arg=regsvr32\narg=/s\narg=" + winPath + "\n"), std::string::npos) << record;
  EXPECT_NE(Run("notepad", {}), 0);
}

// The launcher's own starts reach the real tool: Regedit.exe imports into
// the store, GamePatch\subst.exe maps the drive.
TEST_F(SystemToolTest, LauncherStartsReachTheInstalledTool) {
  env_.Set("KESTREL_SYSTEM_TOOL", KESTREL_SYSTEM_TOOL_EXE);
  Write("x.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n\"Wallpaper\"=\"C:\\\\w.bmp\"\r\n");
  Handle h = kNoHandle;
  ASSERT_TRUE(os_->ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"open", L"Regedit.exe",
                                   L"/s \"" + Win("x.reg") + L"\"", L"", win::kSwHide, &h));
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
  os_->CloseHandle(h);
  EXPECT_EQ(Value(RegRoot::kCurrentUser, L"Control Panel\\Desktop", L"Wallpaper"), L"C:\\w.bmp");

  MakeDir("Game/GamePatch");
  Write("Game/GamePatch/subst.exe", "MZ");
  ASSERT_TRUE(os_->ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"", Win("Game/GamePatch/subst.exe"),
                                   L"K: \"" + Win("Game") + L"\"", L"", win::kSwHide, &h));
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
  os_->CloseHandle(h);
  EXPECT_TRUE(os_->PathFileExistsW(L"K:\\GamePatch\\subst.exe"));
}

}  // namespace
}  // namespace kestrel
