#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "check/lint/lint_test_support.h"
#include "tests/support/fake_registry.h"

namespace kestrel::check {
namespace {

using lint_test::LintIni;
using lint_test::Of;

/// 10001 is installed in E:\Games\Bar; 10002 records a folder that is gone;
/// 10003 has a record of a kind that gives no directory.
void AddRecords(FakePlatform& fake) {
  fake.AddDirectory(L"E:\\Games\\Bar");
  kestrel::testing::PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10001", L"Bar||E:\\Games\\Bar|1");
  kestrel::testing::PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10002", L"Old||E:\\Games\\Gone|1");
  kestrel::testing::PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, L"10003", L"Odd||E:\\Games\\Odd|0");
}

TEST(UnknownGameId, IdsWithoutARecordOrADirectory) {
  FakePlatform fake;
  AddRecords(fake);
  const Findings findings =
      LintIni(fake,
              L"[game_base]\nassocToGid=10002\n[action_first]\nassocGids=10001|99999|10001\n"
              L"runFirstExe=[10003]\\up.exe\nrunFirstExe2=[99999]\\up.exe\n"
              L"[set_platform]\nPlatformConfigFile=[GAMEDIR]\\p.ini\n[platform_Game1]\nAppName=A\n"
              L"Dir=[99999]\\data\nVer=[1000]\\x\n");
  EXPECT_EQ(Of(findings, "unknown-game-id"),
            (std::vector<std::string>{
                "E 2: assocToGid names game 10002, whose folder E:\\Games\\Gone\\ is not there: the launch stays in "
                "this folder",
                "E 4: assocGids names game 99999, but it has no record on this PC: its template is not converted, and "
                "the list ends there",
                "E 5: runFirstExe names game 10003, but its record gives no directory: the value is handed to the "
                "shell as it stands, which finds no such file",
                "E 6: runFirstExe2 names game 99999, but it has no record on this PC: the value is handed to the "
                "shell as it stands, which finds no such file",
                "E 11: Dir names game 99999, but it has no record on this PC: the entry is not written to the platform "
                "file",
            }));
}

TEST(UnknownGameId, RecordedGamesAndAnEmptyItem) {
  FakePlatform fine, gap;
  AddRecords(fine);
  AddRecords(gap);
  EXPECT_TRUE(Of(LintIni(fine,
                         L"[game_base]\nassocToGid=10001\n[action_first]\nassocGids=10001|10001\n"
                         L"runFirstExe=[10001]\\up.exe\n"),
                 "unknown-game-id")
                  .empty());
  EXPECT_EQ(Of(LintIni(gap, L"[action_first]\nassocGids=10001||10001\n"), "unknown-game-id"),
            (std::vector<std::string>{"E 2: assocGids has an empty item: the list ends there, and the ids after it "
                                      "are never converted"}));
}

TEST(MovedLaunch, WhatTheOtherGamesConfigTakesOver) {
  FakePlatform moved, nothingLost;
  AddRecords(moved);
  AddRecords(nothingLost);
  EXPECT_EQ(Of(LintIni(moved,
                       L"[game_base]\nassocToGid=10001\n[action_first]\ndelFileOrDirs=a\nregDlls=b.dll\n"
                       L"[dlg_config]\nbtnCount=1\n"),
               "moved-launch"),
            (std::vector<std::string>{
                "W 2: assocToGid moves the launch to E:\\Games\\Bar\\: from then on the launcher reads "
                "E:\\Games\\Bar\\GamePatch\\Config.ini, so [action_first] (but delFileOrDirs), [dlg_config] of this "
                "file are never read, and the chooser is not shown"}));
  EXPECT_TRUE(
      Of(LintIni(nothingLost, L"[game_base]\nassocToGid=10001\n[action_first]\ndelFileOrDirs=a\n"), "moved-launch")
          .empty());
}

}  // namespace
}  // namespace kestrel::check
