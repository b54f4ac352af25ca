#include "core/fitted_path.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

TEST(FittedPath, JoinsWithOneBackslashAndNeverCuts) {
  EXPECT_EQ(JoinPath(L"D:\\Games\\Foo", L"game.exe"), L"D:\\Games\\Foo\\game.exe");
  EXPECT_EQ(JoinPath(L"D:\\Games\\Foo\\", L"bin\\game.exe"), L"D:\\Games\\Foo\\bin\\game.exe");
  EXPECT_EQ(JoinPath(L"", L"game.exe"), L"game.exe");
  EXPECT_EQ(JoinPath(std::wstring(300, L'd'), L"x").size(), 302u);
}

// 259 characters fit a 260-character buffer; one more is refused with a
// line naming the action and the whole path.
TEST(FittedPath, RefusesWhatDoesNotFitAndSaysWhere) {
  FakePlatform fake;
  const std::wstring fits = L"D:\\" + std::wstring(256, L'f');
  const std::wstring over = fits + L"x";
  EXPECT_TRUE(PathFits(fake, L"Execute", fits));
  EXPECT_TRUE(fake.Logs().empty());
  EXPECT_FALSE(PathFits(fake, L"Execute", over));
  EXPECT_EQ(fake.GetLastError(), win::kFilenameTooLong);
  EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: Execute passed over, path too long (260 characters): " + over});
}

}  // namespace
}  // namespace kestrel
