#include "actions/color_depth.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

TEST(SetColorDepth, ChangesAndStoresOnlyADifferentDepth) {
  struct Case {
    const wchar_t* setBits;
    std::uint32_t current;
    std::vector<FakeCall> effects;
    std::uint32_t after;
  };
  const FakeCall changeTo16{L"ChangeDisplaySettingsW", {L"16", L"0", L"0", L"0", L"0x5c0000", L"0x1"}};
  const Case cases[] = {
      {L"16", 32, {changeTo16}, 16},
      {L"32", 32, {{L"OutputDebugStringW", {L"MSG: setBits false, current bits perpel is equal to set"}}}, 32},
      {L"0", 32, {}, 32},
      {L"-8", 32, {}, 32},
      {L"x", 32, {}, 32},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    LaunchContext context;
    context.baseDir = L"D:\\Games\\Foo";
    fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", std::wstring(L"[action_first]\nsetBits=") + c.setBits);
    fake.display.bitsPerPel = c.current;
    EXPECT_TRUE(SetColorDepth(fake, context));
    EXPECT_EQ(fake.Effects(), c.effects);
    EXPECT_EQ(fake.display.bitsPerPel, c.after);
    EXPECT_EQ(fake.storedDisplay.bitsPerPel, c.after);  // the change lasts
    EXPECT_EQ(fake.display.pelsWidth, 1920u);          // nothing else changes
  }
}

}  // namespace
}  // namespace kestrel
