#include "core/launch_context.h"

#include <gtest/gtest.h>

#include "core/split_list.h"
#include "text/utf.h"

namespace kestrel {
namespace {

TEST(LaunchContext, PathsFollowTheCurrentBaseDirectory) {
  LaunchContext context;
  context.baseDir = L"D:\\Games\\Foo";
  EXPECT_EQ(GamePatchDir(context), L"D:\\Games\\Foo\\GamePatch\\");
  EXPECT_EQ(ConfigPath(context), L"D:\\Games\\Foo\\GamePatch\\Config.ini");
  context.baseDir = L"D:\\Games\\Foo\\";
  EXPECT_EQ(ConfigPath(context), L"D:\\Games\\Foo\\GamePatch\\Config.ini");
  context.baseDir = L"X:";  // a substituted drive
  EXPECT_EQ(ConfigPath(context), L"X:\\GamePatch\\Config.ini");
  context.baseDir = std::wstring(300, L'a');  // never cut: whoever opens it checks that it fits
  EXPECT_EQ(ConfigPath(context), std::wstring(300, L'a') + L"\\GamePatch\\Config.ini");
}

TEST(LaunchContext, DirectoryOf) {
  EXPECT_EQ(DirectoryOf(L"D:\\Games\\Foo\\bin\\game.exe"), L"D:\\Games\\Foo\\bin");
  EXPECT_EQ(DirectoryOf(L"game.exe"), L"");
  EXPECT_EQ(DirectoryOf(L"X:\\game.exe"), L"X:");
  EXPECT_EQ(DirectoryOf(L"D:\\Games\\Foo\\"), L"D:\\Games\\Foo");
}

TEST(SplitList, ItemsAsConfigured) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> items;
  };
  const Case cases[] = {
      {L"a|b", {L"a", L"b"}},
      {L"a||b", {L"a", L"", L"b"}},
      {L"a|", {L"a", L""}},
      {L"|a", {L"a"}},
      {L"||a", {L"", L"a"}},
      {L"|", {L""}},
      {L" a | b ", {L" a ", L" b "}},
      {L"single", {L"single"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> items{L"stale"};
    EXPECT_TRUE(SplitList(items, c.text));
    EXPECT_EQ(items, c.items) << WideToUtf8(c.text);
  }
  std::vector<std::wstring> untouched{L"kept"};
  EXPECT_FALSE(SplitList(untouched, L""));
  EXPECT_EQ(untouched, std::vector<std::wstring>{L"kept"});
}

TEST(ListField, FieldsAndTheirEnd) {
  EXPECT_EQ(ListField(L"a||b", 0), L"a");
  EXPECT_EQ(ListField(L"a||b", 1), L"");
  EXPECT_EQ(ListField(L"a||b", 2), L"b");
  EXPECT_EQ(ListField(L"a||b", 3), std::nullopt);
  EXPECT_EQ(ListField(L"", 0), L"");
  EXPECT_EQ(ListField(L"|", 1), L"");
}

TEST(SplitList, ManyBars) {
  std::vector<std::wstring> items;
  EXPECT_TRUE(SplitList(items, std::wstring(259, L'|')));
  // The first bar adds nothing, each other bar one empty item, then the
  // empty rest: as many items as bars.
  EXPECT_EQ(items.size(), 259u);
}

}  // namespace
}  // namespace kestrel
