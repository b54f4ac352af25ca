#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"

namespace kestrel::check {
namespace {

using lint_test::kBase;
using lint_test::LintIni;
using lint_test::Of;

TEST(DeleteSkipped, ItemsTheLauncherPassesOver) {
  FakePlatform fake;
  fake.AddDirectory(kBase + L"save");
  fake.AddFile(kBase + L"log.txt");
  fake.AddFile(kBase + L"locked.txt");
  fake.SetReadOnly(kBase + L"locked.txt");
  fake.AddFile(kBase + L"save\\locked.dat");
  fake.SetReadOnly(kBase + L"save\\locked.dat");
  const Findings findings =
      LintIni(fake, L"[action_first]\ndelFileOrDirs=save|log.txt||..\\other|. .|gone.txt|locked.txt|\n");
  EXPECT_EQ(Of(findings, "delete-skipped"),
            (std::vector<std::string>{
                "W 2: the delFileOrDirs item \"\" (from \"||\" or a closing \"|\") is passed over: it would name the "
                "whole game folder",
                "W 2: the delFileOrDirs item \"..\\other\" is passed over: only what lies inside the game folder is "
                "deleted, never the folder itself",
                "W 2: the delFileOrDirs item \". .\" is passed over: only what lies inside the game folder is "
                "deleted, never the folder itself",
                "W 2: the delFileOrDirs item \"gone.txt\" names nothing: C:\\Games\\Foo\\gone.txt is not there",
                "W 2: the delFileOrDirs item \"locked.txt\" is a read-only file: the file delete refuses it and it "
                "stays",
                "W 2: the delFileOrDirs item \"\" (from \"||\" or a closing \"|\") is passed over: it would name the "
                "whole game folder",
            }));
}

TEST(DeleteSkipped, APathTooLongIsPassedOver) {
  FakePlatform fake;
  // C:\Games\Foo\ and 247 characters: 260, one more than a path holds.
  EXPECT_EQ(Of(LintIni(fake, L"[action_first]\ndelFileOrDirs=" + std::wstring(247, L'x') + L"\n"), "delete-skipped"),
            (std::vector<std::string>{"W 2: the delFileOrDirs item \"" + std::string(247, 'x') +
                                      "\" is passed over: its path is 260 characters long, more than 259"}));
}

TEST(DeleteSkipped, NothingForItemsThatGo) {
  FakePlatform fake;
  fake.AddDirectory(kBase + L"save");
  fake.AddFile(kBase + L"save\\locked.dat");
  fake.SetReadOnly(kBase + L"save\\locked.dat");  // a folder's read-only files go with it
  fake.AddFile(kBase + L"log.txt");
  EXPECT_TRUE(Of(LintIni(fake, L"[action_first]\ndelFileOrDirs=|save|LOG.TXT\n"), "delete-skipped").empty());
}

}  // namespace
}  // namespace kestrel::check
