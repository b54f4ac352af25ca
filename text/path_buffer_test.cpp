#include "text/path_buffer.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kestrel {
namespace {

TEST(PathBuffer, RemoveFileSpecFollowsTheShell) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\Tools\\KestrelEx.exe", L"C:\\Tools"},
      {L"C:\\KestrelEx.exe", L"C:\\"},
      {L"C:\\", L"C:\\"},
      {L"C:", L"C:"},
      {L"KestrelEx.exe", L""},
      {L"\\\\server\\share\\a", L"\\\\server\\share"},
      {L"D:\\Games\\Foo\\", L"D:\\Games\\Foo"},
      {L"\\foo", L"\\"},
  };
  for (const auto& [in, out] : cases) {
    std::wstring path = in;
    PathRemoveFileSpec(path);
    EXPECT_EQ(path, out) << WideToUtf8(in);
  }
}

TEST(PathBuffer, AddBackslashNeverOverflows) {
  std::wstring empty;
  EXPECT_TRUE(PathAddBackslash(empty));
  EXPECT_EQ(empty, L"");  // an empty path gets no backslash

  std::wstring ends = L"D:\\Foo\\";
  EXPECT_TRUE(PathAddBackslash(ends));
  EXPECT_EQ(ends, L"D:\\Foo\\");

  std::wstring full(258, L'a');
  EXPECT_TRUE(PathAddBackslash(full));
  EXPECT_EQ(full.size(), 259u);
  EXPECT_FALSE(PathAddBackslash(full = std::wstring(259, L'a')));
  EXPECT_EQ(full.size(), 259u);
}

TEST(PathBuffer, CutsToTheBuffer) {
  EXPECT_EQ(FitBuffer(std::wstring(300, L'x')).size(), 259u);
  EXPECT_EQ(FitBuffer(L"abc", 3), L"ab");
  std::wstring path(250, L'a');
  StrCatBuff(path, std::wstring(20, L'b'));
  EXPECT_EQ(path.size(), 259u);
  EXPECT_EQ(path.back(), L'b');
  EXPECT_EQ(PathFindFileName(L"D:\\Tools\\KestrelEx.exe"), L"KestrelEx.exe");
  EXPECT_EQ(PathFindFileName(L"KestrelEx"), L"KestrelEx");
}

}  // namespace
}  // namespace kestrel
