// The real KestrelEx binary on a temporary machine, with a recorder program
// standing in for the game.  Both builds run these tests and must log the
// same lines; only the paths differ (the Linux build sees its folders
// through drive Z:).

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

TEST(LaunchE2E, DirectoryFormStartsTheGameInItsFolder) {
  TempMachine m;
  m.MakeDir("Foo/GamePatch");
  m.Install(KESTREL_RECORDER, "Foo/game.exe");
  m.Write("Foo/GamePatch/Config.ini", "[game_base]\r\n");  // nothing to prepare, no prerequisites
  std::string line = WideToUtf8(m.Windows("Foo")) + "|game.exe|-window";
  ASSERT_EQ(m.Run(KESTREL_EXE, {line}), 0);
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "arg=-window", "cwd=" + m.Host("Foo"), "done"}));
  EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                              "MSG: Init base value from cmdLine succeed",
                              "MSG: Execute: file=" + WideToUtf8(m.Windows("Foo")) +
                                  "\\game.exe, param=-window, workdir=" + WideToUtf8(m.Windows("Foo")) + ", code=0",
                          }));
  // The launch logged its version first, and once.
  const std::string log = ReadFile(m.log());
  EXPECT_EQ(log.find(VersionLogLine()), 0u);
  EXPECT_EQ(log.find(VersionLogLine(), 1), std::string::npos);
}

TEST(LaunchE2E, HostPathsAndSpacesInThePathForm) {
  TempMachine m;
  m.MakeDir("My Games/Foo/bin/GamePatch");
  m.Install(KESTREL_RECORDER, "My Games/Foo/bin/game.exe");
  m.Write("My Games/Foo/bin/GamePatch/Config.ini", "[game_base]\r\n");
  std::string pathForm = "|";  // appended: GCC 12's -Wrestrict misreads "|" + string at -O3
  pathForm += m.Host("My Games/Foo/bin/game.exe") + "|-a \"b c\" /s";
  ASSERT_EQ(m.Run(KESTREL_EXE, {pathForm}), 0);
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "arg=-a", "arg=b c", "arg=/s",
                                                         "cwd=" + m.Host("My Games/Foo/bin"), "done"}));
  EXPECT_EQ(m.LogLines(),
            (std::vector<std::string>{"MSG: Execute: file=" + WideToUtf8(m.Windows("My Games/Foo/bin")) +
                                      "\\game.exe, param=-a \"b c\" /s, workdir=" +
                                      WideToUtf8(m.Windows("My Games/Foo/bin")) + ", code=0"}));
}

TEST(LaunchE2E, EmptyCommandLineReadsTheConfigBesideTheLauncher) {
  TempMachine m;
  m.MakeDir("Launcher/GamePatch");
  m.Install(KESTREL_EXE, "Launcher/" + ProgramFile("KestrelEx"));
  m.Install(KESTREL_RECORDER, "Launcher/Game.exe");
  // UTF-16LE with a byte-order mark and names in another case than on disk.
  m.Write("Launcher/GamePatch/Config.ini",
          "\xFF\xFE" + WideToUtf16Le(L"[GAME_BASE]\r\nmainexe=game.EXE\r\nparam=\"-x\"\r\n"));
  ASSERT_EQ(m.Run(m.Host("Launcher/" + ProgramFile("KestrelEx")), {}), 0);
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=" + StartedName("game.EXE", "Game.exe"), "arg=-x",
                                                         "cwd=" + m.Host("Launcher"), "done"}));
  EXPECT_EQ(m.LogLines().at(0), "MSG: Init base value from config file succeed, dir=" +
                                    WideToUtf8(m.Windows("Launcher")) + ", exe=game.EXE, param=-x, code=0");
}

TEST(LaunchE2E, SecondInstanceEndsUnlessHalyardIsBesideIt) {
  TempMachine m;
  m.MakeDir("Launcher");
  m.MakeDir("Foo");
  m.Install(KESTREL_EXE, "Launcher/" + ProgramFile("KestrelEx"));
  m.Install(KESTREL_RECORDER, "Foo/game.exe");
  // Another launcher still runs: this test holds its mutex meanwhile.
  const std::string launcher = m.Host("Launcher/" + ProgramFile("KestrelEx"));
  const std::string line = WideToUtf8(m.Windows("Foo")) + "|game.exe";
  ASSERT_EQ(m.RunHoldingMutex("KestrelEx", launcher, {line}), 0);
  EXPECT_EQ(m.LogLines(), std::vector<std::string>{"MSG: Init base value from cmdLine succeed"});

  m.Write("Launcher/Halyard.exe", "");
  ASSERT_EQ(m.RunHoldingMutex("KestrelEx", launcher, {line}), 0);
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "cwd=" + m.Host("Foo"), "done"}));
}

}  // namespace
}  // namespace kestrel::e2e
