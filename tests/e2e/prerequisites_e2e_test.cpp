// A launch with prerequisites and post-launch actions: the real launcher,
// recorder programs as installers, game and follow-up program, and two
// running copies of a program under a name unique to this run, one of which
// the launcher is to end.  Both builds log the same lines.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

TEST(PrerequisitesE2E, OnlyTheMissingInstallerRunsAndIsWaitedForThenTheAfterActions) {
  TempMachine m;
  m.MakeDir("My Games/Foo/GamePatch");
  m.MakeDir("My Games/Foo/redist");
  m.MakeDir("My Games/Foo/tools");
  m.Install(KESTREL_RECORDER, "My Games/Foo/game.exe");
  m.Install(KESTREL_RECORDER, "My Games/Foo/redist/setup.exe");
  m.Install(KESTREL_RECORDER, "My Games/Foo/redist/present_setup.exe");  // its package is there: never run
  m.Install(KESTREL_RECORDER, "My Games/Foo/tools/after.exe");
  // An unquoted installer path would start this one instead.
  m.Install(KESTREL_RECORDER, "My.exe");
  m.Write("My Games/Foo/present.dll", "");

  const std::string target = UniqueName("kx", ".exe");
  m.Install(KESTREL_RECORDER, target);
  auto first = m.Start(m.Host(target), {"--sleep", "60000"});
  auto second = m.Start(m.Host(target), {"--sleep", "60000"});

  const std::string foo = WideToUtf8(m.Windows("My Games/Foo"));
  const std::string absent = WideToUtf8(m.Windows("My Games/Foo/absent.dll"));
  m.Write("My Games/Foo/GamePatch/Config.ini",
          "[game_base]\r\n"
          "[1]\r\ncheckType=3\r\ncheckPath=" + absent + "|" + WideToUtf8(m.Windows("My Games/Foo/present.dll")) +
              "\r\ninstName=Present runtime\r\ninstFile=redist\\present_setup.exe\r\n"
              "[2]\r\ncheckType=3\r\ncheckPath=" + absent +
              "\r\ninstName=Missing runtime\r\ninstFile=redist\\setup.exe\r\ninstParam=/q --sleep 800\r\n"
              // Section 3 is missing: the list ends there.
              "[4]\r\ncheckType=3\r\ncheckPath=" + absent + "\r\ninstName=Beyond\r\ninstFile=redist\\present_setup.exe\r\n"
              "[action_after]\r\nsleep=1000\r\nRunAfterExe=tools\\after.exe\r\nRunAfterParam=--after\r\n"
              "killProNames=" + target + "\r\n");

  auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(m.Run(KESTREL_EXE, {foo + "|game.exe|-window"}), 0);
  auto took = std::chrono::steady_clock::now() - begin;

  // The installer lingers before it records: had the launcher not waited
  // for it, the game's lines would come first.
  EXPECT_EQ(m.WaitForRecord(3), (std::vector<std::string>{
                                    "program=setup.exe", "arg=/q", "arg=--sleep", "arg=800",
                                    "cwd=" + m.Host("My Games/Foo/redist"), "done",
                                    "program=game.exe", "arg=-window", "cwd=" + m.Host("My Games/Foo"), "done",
                                    "program=after.exe", "arg=--after", "cwd=" + m.Host("My Games/Foo/tools"), "done",
                                }));
  EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                              "MSG: Init base value from cmdLine succeed",
                              "MSG: lib=Present runtime, module already installed.",
                              "MSG: Install: name=Missing runtime, file=" + foo +
                                  "\\redist\\setup.exe, param=/q --sleep 800, code=0",
                              "MSG: Execute: file=" + foo + "\\game.exe, param=-window, workdir=" + foo + ", code=0",
                              "MSG: kill succeed, name=" + target + ", code=0",
                          }));
  // The launcher ran the installer to its end and paused a second before
  // the follow-up program: a lower bound, never a speed limit.
  EXPECT_GE(took, std::chrono::milliseconds(1800));

  // Exactly one of the two copies was ended; the other is this test's to end.
  for (int i = 0; i < 500 && first->Running() && second->Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_NE(first->Running(), second->Running());
}

}  // namespace
}  // namespace kestrel::e2e
