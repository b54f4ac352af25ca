// The Linux machine root is a Wine prefix whose registry is the launcher's:
// a Windows program run through Wine reads the values the launcher
// imported (its own template, another game's found through a 32-bit
// game-id record, the compatibility layer as Wine's Windows version), with
// and without a wineserver already running in the prefix.  Needs Wine and
// the i686 MinGW compiler; skipped without them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

#include "platform/linux/wine_server_guard.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

constexpr wchar_t kGameInfo[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo";

std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return {};
}

std::string Utf16File(const std::wstring& text) { return "\xFF\xFE" + WideToUtf16Le(text); }

std::wstring Template(const std::wstring& key, const std::wstring& value) {
  return L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\" + key + L"]\r\n\"" + value +
         L"\"=\"|gamepath|\"\r\n";
}

/// The reader's "name=value" lines, once it has written them.
std::map<std::string, std::string> WaitForReport(const std::string& path) {
  std::map<std::string, std::string> report;
  for (int i = 0; i < 1200 && report.empty(); ++i) {
    std::string text = ReadFile(path);
    if (text.find("Windows=") == std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      continue;
    }
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);)
      if (std::size_t eq = line.find('='); eq != std::string::npos)
        report[line.substr(0, eq)] = line.substr(eq + 1, line.find('\r') - eq - 1);  // a Windows text file
  }
  return report;
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(WineRegistryE2E, WindowsProgramsReadWhatTheLauncherImported) {
  const std::string wine = OnPath("wine"), gcc = OnPath("i686-w64-mingw32-gcc");
  if (wine.empty() || gcc.empty()) GTEST_SKIP() << "needs wine and i686-w64-mingw32-gcc";
  TempMachine m;
  const std::string root = m.Host("root");
  ScopedEnv prefix("WINEPREFIX", root), quiet("WINEDEBUG", "-all");
  const std::string tool = std::string(KESTREL_EXE).substr(0, std::string(KESTREL_EXE).rfind('/')) + "/kestrel-system";
  ASSERT_EQ(m.Run(tool, {"wineboot"}), 0);

  m.MakeDir("My Games/Foo/GamePatch");
  m.MakeDir("Other Game/Bar/GamePatch");
  m.MakeDir("Third/Baz/GamePatch");
  const std::string reader = m.Host("My Games/Foo/wine_reg_reader.exe");
  ASSERT_EQ(std::system((gcc + " -O -o '" + reader + "' '" + KESTREL_SOURCE_DIR + "/tests/tools/wine_reg_reader.c'").c_str()),
            0);
  const std::wstring foo = m.Windows("My Games/Foo"), fooDir = foo + L"\\";
  const std::wstring bar = m.Windows("Other Game/Bar") + L"\\", baz = m.Windows("Third/Baz") + L"\\";
  m.Write("Other Game/Bar/GamePatch/reg.cfg", Utf16File(Template(L"KxWine", L"Other")));
  m.Write("Third/Baz/GamePatch/reg.cfg", Utf16File(Template(L"KxWine2", L"Other")));
  m.SetMachineString(kGameInfo, L"61001", L"Bar|x|" + bar + L"|1");

  // 1. No server runs: the files are written directly.
  m.Write("My Games/Foo/GamePatch/reg.cfg", Utf16File(Template(L"KxWine", L"Own")));
  m.Write("My Games/Foo/GamePatch/Config.ini",
          "[game_base]\r\nCompatibilityMode=WINXPSP3\r\n[action_first]\r\nassocGids=61001|61002\r\n");
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(foo) + "|wine_reg_reader.exe|" + WideToUtf8(m.Windows("report1.txt")) +
                                    " KxWine"}),
            0);
  std::map<std::string, std::string> report = WaitForReport(m.Host("report1.txt"));
  EXPECT_EQ(report["Own"], WideToUtf8(fooDir));
  EXPECT_EQ(report["Other"], WideToUtf8(bar));
  EXPECT_EQ(report["61001"], "Bar|x|" + WideToUtf8(bar) + "|1");  // the 32-bit view of the record
  EXPECT_EQ(report["Version"], "winxp");
  EXPECT_EQ(report["Windows"], "5.1");

  // 2. A long-running Windows program keeps the server up; a game menu
  // writes a record through Wine meanwhile.
  std::unique_ptr<StartedProgram> sleeper = m.Start(wine, {reader, "sleep", "15"});
  for (int i = 0; i < 200 && !WineServerGuard::ServerRunning(root); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(WineServerGuard::ServerRunning(root));
  ASSERT_EQ(m.Run(wine, {"reg", "add", WideToUtf8(L"HKLM\\" + std::wstring(kGameInfo)), "/v", "61005", "/d",
                         "Baz|x|" + WideToUtf8(baz) + "|1", "/reg:32", "/f"}),
            0);
  m.Write("My Games/Foo/GamePatch/reg.cfg", Utf16File(Template(L"KxWine2", L"Own")));
  m.Write("My Games/Foo/GamePatch/Config.ini",
          "[game_base]\r\nCompatibilityMode=WIN7RTM\r\n[action_first]\r\nassocGids=61001|61002\r\n");
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(foo) + "|wine_reg_reader.exe|" + WideToUtf8(m.Windows("report2.txt")) +
                                    " KxWine2"}),
            0);
  report = WaitForReport(m.Host("report2.txt"));
  EXPECT_EQ(report["Own"], WideToUtf8(fooDir));
  EXPECT_EQ(report["Version"], "win7");
  EXPECT_EQ(report["Windows"], "6.1");
  for (int i = 0; i < 400 && sleeper->Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_FALSE(sleeper->Running());
  m.Run(OnPath("wineserver"), {"-w"});  // this prefix's server, which saves as it ends

  // The server's save on its exit kept the launcher's imports, and the
  // record it took from Wine is in the files now.
  EXPECT_EQ(m.UserString(L"Software\\KxWine2", L"Own"), fooDir);
  EXPECT_EQ(m.UserString(L"Software\\Wine\\AppDefaults\\wine_reg_reader.exe", L"Version"), L"win7");
  EXPECT_EQ(m.UserString(L"Software\\KxWine", L"Other"), bar);
  ASSERT_EQ(m.Run(tool, {"regedit", "/e", WideToUtf8(m.Windows("gids.reg")), WideToUtf8(L"HKEY_LOCAL_MACHINE\\" + std::wstring(kGameInfo))}),
            0);
  EXPECT_NE(Utf16LeToWide(ReadFile(m.Host("gids.reg")).substr(2)).find(L"\"61005\"=\"Baz|x|" ), std::wstring::npos);

  // 3. The next launch finds the record Wine wrote.
  m.Write("My Games/Foo/GamePatch/Config.ini", "[action_first]\r\nassocGids=61005|61002\r\n");
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(foo) + "|wine_reg_reader.exe|" + WideToUtf8(m.Windows("report3.txt")) +
                                    " KxWine2"}),
            0);
  WaitForReport(m.Host("report3.txt"));
  std::vector<std::string> log = m.LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "MSG: Assis gid' directory=" + WideToUtf8(baz) + ", code=0"), log.end());
  m.Run(OnPath("wineserver"), {"-w"});
}

}  // namespace
}  // namespace kestrel::e2e
