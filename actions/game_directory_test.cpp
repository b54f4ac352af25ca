#include "actions/game_directory.h"

#include <gtest/gtest.h>

#include "tests/support/fake_registry.h"

namespace kestrel {
namespace {

using testing::PutRegString;

TEST(ResolveGameDirectory, KindsAndDriveTranslation) {
  FakePlatform fake;
  auto record = [&](const wchar_t* id, const std::wstring& text) {
    PutRegString(fake, RegRoot::kLocalMachine, kGameInfoKey, id, text);
  };
  record(L"kind2", L"Foo|E:\\Games\\Foo|D:\\Foo|2");
  record(L"kind1", L"Foo|E:\\Games\\Foo|D:\\Foo|1");
  record(L"kind3", L"Foo|E:\\Games\\Foo|D:\\Foo\\| 3");
  record(L"kind0", L"Foo|E:\\Games\\Foo|D:\\Foo|0");
  record(L"nokind", L"Foo|E:\\Games\\Foo|D:\\Foo");
  record(L"textkind", L"Foo|E:\\Games\\Foo|D:\\Foo|two");
  record(L"noVD", L"Foo|F:\\Games\\Foo||2");
  record(L"empty2", L"Foo||D:\\Foo|2");
  record(L"longest", L"||D:\\" + std::wstring(252, L'a') + L"|1");  // 259 characters in all
  record(L"toolong", L"||D:\\" + std::wstring(253, L'a') + L"|1");  // does not fit: no record
  PutRegString(fake, RegRoot::kLocalMachine, kDriveInfoKey, L"E", L"H");
  struct Case {
    const wchar_t* id;
    bool found;
    std::wstring directory;
  };
  const Case cases[] = {
      {L"kind2", true, L"H:\\Games\\Foo\\"},
      {L"kind1", true, L"D:\\Foo\\"},
      {L"kind3", true, L"D:\\Foo\\"},
      {L"kind0", true, L""},
      {L"nokind", true, L""},
      {L"textkind", true, L""},
      {L"noVD", true, L"F:\\Games\\Foo\\"},
      {L"empty2", true, L""},
      {L"longest", true, L"D:\\" + std::wstring(252, L'a') + L"\\"},
      {L"toolong", false, L"untouched"},
      {L"unknown", false, L"untouched"},
  };
  for (const Case& c : cases) {
    std::wstring out = L"untouched";
    EXPECT_EQ(ResolveGameDirectory(fake, c.id, out), c.found) << c.id;
    EXPECT_EQ(out, c.directory);
  }
}

}  // namespace
}  // namespace kestrel
