#include "util/process_utils.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

TEST(KillProcessByName, EndsTheFirstMatchOnly) {
  FakePlatform fake;
  fake.AddProcess(L"explorer.exe");
  std::uint32_t first = fake.AddProcess(L"game.exe");
  std::uint32_t second = fake.AddProcess(L"Game.EXE");
  EXPECT_TRUE(KillProcessByName(fake, L"GAME.EXE"));
  EXPECT_EQ(fake.processes().count(first), 0u);
  EXPECT_EQ(fake.processes().count(second), 1u);
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: kill succeed, name=GAME.EXE, code=0"});
  EXPECT_TRUE(KillProcessByName(fake, L"game.exe"));
  EXPECT_EQ(fake.processes().count(second), 0u);
  EXPECT_EQ(fake.processes().size(), 1u);
}

TEST(KillProcessByName, NoMatchNoLine) {
  for (const wchar_t* name : {L"", L"D:\\Games\\game.exe", L"game", L"other.exe"}) {
    FakePlatform fake;
    fake.AddProcess(L"game.exe");
    EXPECT_FALSE(KillProcessByName(fake, name));
    EXPECT_TRUE(fake.Logs().empty());
    EXPECT_EQ(fake.processes().size(), 1u);
    // The snapshot is released either way.
    EXPECT_EQ(fake.CallsOf(L"CloseHandle").size(), 1u);
  }
  FakePlatform broken;
  broken.failSnapshot = true;
  EXPECT_FALSE(KillProcessByName(broken, L"game.exe"));
}

}  // namespace
}  // namespace kestrel
