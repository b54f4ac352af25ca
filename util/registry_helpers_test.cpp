#include "util/registry_helpers.h"

#include <gtest/gtest.h>

#include "tests/support/fake_registry.h"

namespace kestrel {
namespace {

using testing::PutRegString;
using testing::RegBytes;

TEST(ReadMachineString, ReadsUpTo259Characters) {
  FakePlatform fake;
  PutRegString(fake, RegRoot::kLocalMachine, L"SOFTWARE\\K", L"full", std::wstring(259, L'x'));
  PutRegString(fake, RegRoot::kLocalMachine, L"SOFTWARE\\K", L"long", std::wstring(260, L'x'));
  PutRegString(fake, RegRoot::kCurrentUser, L"SOFTWARE\\K", L"user", L"not here");
  struct Case {
    const wchar_t* name;
    int result;
    std::wstring text;
  };
  const Case cases[] = {
      {L"full", 1, std::wstring(259, L'x')},
      {L"long", 0, L""},  // does not fit: the call fails
      {L"missing", 0, L""},
      {L"user", 0, L""},  // only the local machine is read
  };
  for (const Case& c : cases) {
    std::wstring out = L"stale";
    EXPECT_EQ(ReadMachineString(fake, L"SOFTWARE\\K", out, c.name), c.result);
    EXPECT_EQ(out, c.text);
  }
  EXPECT_EQ(fake.CallsOf(L"SHGetValueW").at(0).args,
            (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\K", L"full", L"520"}));
}

TEST(DriveManagerSettings, ByteLayouts) {
  FakePlatform fake;
  const std::wstring key = kDriveManagerSettingsKey;
  EXPECT_EQ(SetDriveManagerOption(fake, L"MountPrevious"), 1);
  EXPECT_EQ(RegBytes(fake, RegRoot::kCurrentUser, key, L"MountPrevious"), L"01 00 00 00");
  EXPECT_EQ(fake.CallsOf(L"SHSetValueW").at(0).args.at(3), L"4");

  EXPECT_EQ(WriteDriveManagerMounts(fake, {}), 1);
  EXPECT_EQ(RegBytes(fake, RegRoot::kCurrentUser, key, L"LastMounts"), L"00 00 00 00");
  EXPECT_EQ(fake.CallsOf(L"SHSetValueW").at(1).args.at(3), L"7");

  EXPECT_EQ(WriteDriveManagerMounts(fake, {L"X:", L"1"}), 1);
  EXPECT_EQ(RegBytes(fake, RegRoot::kCurrentUser, key, L"LastMounts"),
            L"58 00 3a 00 00 00 31 00 00 00 00 00");

  // An empty string in the list is kept in its place.
  WriteDriveManagerMounts(fake, {L"a", L"", L"b"});
  EXPECT_EQ(RegBytes(fake, RegRoot::kCurrentUser, key, L"LastMounts"), L"61 00 00 00 00 00 62 00 00 00 00 00");

  // A string too long for its copy is cut, never leaving a gap of zeros.
  WriteDriveManagerMounts(fake, {std::wstring(300, L'a'), L"b"});
  const FakePlatform::RegValue* value = fake.FindRegValue(RegRoot::kCurrentUser, key, L"LastMounts");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->data.size(), (259u + 1 + 1 + 1 + 1) * 2);
  EXPECT_EQ(value->data[260 * 2], 'b');
}

}  // namespace
}  // namespace kestrel
