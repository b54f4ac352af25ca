#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kestrel {
namespace {

std::vector<std::wstring> List(FakePlatform& os, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  FindDataW data;
  Handle find = os.FindFirstFileW(pattern, data);
  if (find == kInvalidHandleValue) return {L"error " + std::to_wstring(os.GetLastError())};
  do names.push_back(data.fileName);
  while (os.FindNextFileW(find, data));
  os.FindClose(find);
  return names;
}

TEST(FakePlatform, FilesBehaveLikeWindows) {
  FakePlatform os;
  os.AddFile(L"C:\\Game\\GamePatch\\reg.reg", "a");
  os.AddFile(L"C:\\Game\\GamePatch\\Other.REG", "b");
  os.AddFile(L"C:\\Game\\GamePatch\\res.dat", "c");
  os.AddDirectory(L"C:\\Game\\GamePatch\\CSIDL_FONTS");
  EXPECT_EQ(List(os, L"c:\\game\\gamepatch\\*.reg"), (std::vector<std::wstring>{L"Other.REG", L"reg.reg"}));
  EXPECT_EQ(List(os, L"C:\\Game\\GamePatch\\*"),
            (std::vector<std::wstring>{L".", L"..", L"CSIDL_FONTS", L"Other.REG", L"reg.reg", L"res.dat"}));
  EXPECT_EQ(List(os, L"C:\\*"), std::vector<std::wstring>{L"Game"});
  EXPECT_EQ(List(os, L"C:\\Nope\\*"), std::vector<std::wstring>{L"error 3"});
  EXPECT_EQ(List(os, L"C:\\Game\\*.txt"), std::vector<std::wstring>{L"error 2"});

  EXPECT_FALSE(os.CopyFileW(L"C:\\Game\\GamePatch\\res.dat", L"C:\\Game\\GamePatch\\reg.reg", true));
  EXPECT_EQ(os.GetLastError(), win::kFileExists);
  EXPECT_TRUE(os.CopyFileW(L"C:\\Game\\GamePatch\\res.dat", L"C:\\Game\\GamePatch\\reg.reg", false));
  EXPECT_EQ(*os.FileBytes(L"C:\\Game\\GamePatch\\reg.reg"), "c");
  os.SetReadOnly(L"C:\\Game\\GamePatch\\res.dat");
  EXPECT_FALSE(os.DeleteFileW(L"C:\\Game\\GamePatch\\res.dat"));
  EXPECT_EQ(os.GetLastError(), win::kAccessDenied);
  EXPECT_TRUE(os.SetFileAttributesW(L"C:\\Game\\GamePatch\\res.dat", win::kFileAttributeNormal));
  EXPECT_TRUE(os.DeleteFileW(L"C:\\Game\\GamePatch\\res.dat"));
  EXPECT_FALSE(os.RemoveDirectoryW(L"C:\\Game\\GamePatch"));
  EXPECT_EQ(os.GetLastError(), win::kDirNotEmpty);
  EXPECT_FALSE(os.CreateDirectoryW(L"C:\\Game\\a\\b"));
  EXPECT_EQ(os.GetLastError(), win::kPathNotFound);
  EXPECT_TRUE(os.WriteFileBytes(L"C:\\Game\\probe", ""));
  std::wstring drives;
  EXPECT_EQ(os.GetLogicalDriveStringsW(260, drives), 4u);
  EXPECT_EQ(drives, std::wstring(L"C:\\\0", 4));

  // The record names each change with its arguments; queries are left out.
  std::vector<FakeCall> effects = os.Effects();
  EXPECT_EQ(effects.back(), (FakeCall{L"WriteFileBytes", {L"C:\\Game\\probe", L"0"}}));
  EXPECT_EQ(os.CallsOf(L"CopyFileW").at(0),
            (FakeCall{L"CopyFileW",
                      {L"C:\\Game\\GamePatch\\res.dat", L"C:\\Game\\GamePatch\\reg.reg", L"fail if exists"}}));
}

TEST(FakePlatform, ProfilesAndRegistry) {
  FakePlatform os;
  os.AddIni(L"C:\\p\\set.ini", L"[Paths]\r\nExe=old\r\n");
  EXPECT_TRUE(os.WritePrivateProfileStringW(L"Paths", L"Exe", L"new", L"C:\\p\\set.ini"));
  EXPECT_EQ(*os.FileBytes(L"C:\\p\\set.ini"), "[Paths]\r\nExe=new\r\n");
  std::wstring buffer;
  EXPECT_EQ(os.GetPrivateProfileSectionW(L"paths", buffer, 1024, L"C:\\p\\set.ini"), 8u);
  EXPECT_EQ(buffer, std::wstring(L"Exe=new\0\0", 9));
  EXPECT_FALSE(os.WritePrivateProfileStringW(L"s", L"k", L"v", L"C:\\nodir\\x.ini"));
  EXPECT_EQ(os.GetLastError(), win::kPathNotFound);

  const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Redist";
  Handle key = kNoHandle;
  EXPECT_EQ(os.RegOpenKeyExW(RegRoot::kLocalMachine, uninstall, win::kKeyRead, &key), 2);
  os.AddRegKey(RegRoot::kLocalMachine, uninstall);
  EXPECT_EQ(os.RegOpenKeyExW(RegRoot::kLocalMachine, uninstall, win::kKeyRead, &key), 0);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(os.RegCloseKey(key), 0);
  EXPECT_EQ(os.RegCloseKey(key), win::kInvalidHandle);

  std::uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(os.SHSetValueW(RegRoot::kCurrentUser, L"Software\\A\\B", L"X", win::kRegDword, one), 0);
  EXPECT_EQ(os.RegOpenKeyExW(RegRoot::kCurrentUser, L"software\\a", win::kKeyRead, &key), 0);  // parents made too
  EXPECT_EQ(os.RegOpenKeyExW(RegRoot::kCurrentUser, L"Software\\A\\B", win::kKeyRead, &key), 0);
  EXPECT_EQ(os.RegCloseKey(key), 0);
  std::uint8_t got[4] = {};
  EXPECT_EQ(os.SHGetValueW(RegRoot::kCurrentUser, L"software\\a\\b", L"x", &type, got, &size), 0);
  EXPECT_EQ(type, win::kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(got[0], 1);

  // An expandable string comes back expanded with the fake's environment.
  os.environment[L"SystemRoot"] = L"C:\\Windows";
  const std::string raw = WideToUtf16Le(std::wstring(L"%systemroot%\\x\0", 15));
  EXPECT_EQ(os.SHSetValueW(RegRoot::kCurrentUser, L"Software\\A", L"e", win::kRegExpandSz,
                           std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size())),
            0);
  std::uint8_t text[64] = {};
  EXPECT_EQ(os.SHGetValueW(RegRoot::kCurrentUser, L"Software\\A", L"e", &type, text, &size), 0);
  EXPECT_EQ(type, win::kRegSz);
  std::wstring expanded = Utf16LeToWide(std::string(reinterpret_cast<const char*>(text), sizeof text));
  EXPECT_EQ(expanded.substr(0, expanded.find(L'\0')), L"C:\\Windows\\x");
}

}  // namespace
}  // namespace kestrel
