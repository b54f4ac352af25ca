#include "util/drive_letters.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

TEST(FindFreeDriveLetter, FirstLetterFromDThatNamesNoDrive) {
  std::wstring allFromC;
  for (wchar_t c = L'C'; c <= L'Z'; ++c) allFromC += c;
  struct Case {
    std::wstring drives;  // letters in use
    wchar_t expected;
  };
  const Case cases[] = {
      {L"C", L'D'},
      {L"CDE", L'F'},
      {L"CDF", L'E'},            // a gap is taken
      {L"AB", L'D'},             // A, B and C are never offered
      {L"", L'D'},
      {L"CDEFGHIJKLMNOPQRSTUVWXY", L'Z'},
      {allFromC, 0},             // every letter in use
      {L"DEFGHIJKLMNOPQRSTUVWXYZ", 0},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    for (wchar_t d : c.drives) fake.AddDirectory(std::wstring{d, L':', L'\\'});
    EXPECT_EQ(FindFreeDriveLetter(fake), c.expected) << WideToUtf8(c.drives);
    // One look at the drive list, through a 260-character buffer.
    EXPECT_EQ(fake.CallsOf(L"GetLogicalDriveStringsW"),
              (std::vector<FakeCall>{{L"GetLogicalDriveStringsW", {L"260"}}}));
  }
}

TEST(DriveName, LetterAndColonOrNothing) {
  EXPECT_EQ(DriveName(L'F'), L"F:");
  EXPECT_EQ(DriveName(0), L"");
}

}  // namespace
}  // namespace kestrel
