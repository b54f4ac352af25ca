// On 64-bit Windows (and in the tests' 64-bit Wine prefix) a 32-bit game
// menu's records lie in the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE,
// SOFTWARE\Wow6432Node, where a 64-bit program does not look.  The shared
// registry-view test only means something when that is so.

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

bool KeyExists(const std::wstring& subKey, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

TEST(RegistryViewWin32E2E, AMenusRecordsLieInThe32BitView) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  if (!wow64) GTEST_SKIP() << "a 32-bit system has one view of the registry";

  TempMachine m;
  const std::wstring package = L"KestrelE2E-" + Utf8ToWide(UniqueName("kx", ""));
  const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + package;
  m.RemoveMachineKeyWhenDone(uninstall);
  m.RemoveMachineValueWhenDone(L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo", L"79999");
  ASSERT_EQ(m.Run(KESTREL_GAME_MENU, {"install", "79999", "C:\\Games\\Bar\\", WideToUtf8(package)}), 0);

  EXPECT_TRUE(KeyExists(uninstall, KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyExists(uninstall, KEY_WOW64_64KEY));
  EXPECT_TRUE(KeyExists(L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + package,
                        KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace kestrel::e2e
