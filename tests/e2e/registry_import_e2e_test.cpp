// A launch that converts registry templates and imports them: the game's
// own reg.cfg and another game's, found through its game-id record, turned
// into .reg files in the game's GamePatch and imported by the registry
// editor (the machine's system tool on Linux, Wine's regedit under Wine);
// with a compatibility layer and a colour depth that show in the registry
// and the display mode.  Both builds log the same lines.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

constexpr wchar_t kGameInfo[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo";
constexpr wchar_t kLayers[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

std::string Utf16File(const std::wstring& text) { return "\xFF\xFE" + WideToUtf16Le(text); }

std::wstring Doubled(const std::wstring& path) {
  std::wstring out;
  for (wchar_t c : path) out += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  return out;
}

/// A registry template whose one value takes the game's folder.
std::wstring Template(const std::wstring& key, const std::wstring& value) {
  return L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + L"]\r\n\"" + value +
         L"\"=\"|gamepath|\"\r\n";
}

TEST(RegistryImportE2E, TemplatesAreConvertedAndImportedWithLayerAndDepth) {
  TempMachine m;
  m.MakeDir("My Games/Foo/GamePatch");
  m.MakeDir("Other Game/Bar/GamePatch");
  m.Install(KESTREL_RECORDER, "My Games/Foo/game.exe");
  const std::wstring foo = m.Windows("My Games/Foo");
  const std::wstring fooDir = foo + L"\\";  // the launcher's base directory ends in a backslash
  const std::wstring bar = m.Windows("Other Game/Bar") + L"\\";

  // A key of this run's own, so no earlier run's values can pass for ours.
  const std::wstring key = L"Software\\KestrelE2E\\" + Utf8ToWide(UniqueName("reg", ""));
  m.RemoveUserKeyWhenDone(key);
  m.RemoveUserKeyWhenDone(L"Software\\KestrelE2E");
  m.Write("My Games/Foo/GamePatch/reg.cfg", Utf16File(Template(key, L"Own")));
  m.Write("Other Game/Bar/GamePatch/reg.cfg", Utf16File(Template(key, L"Other")));
  // Game 61001 is installed in Bar; 61002 has no record and ends the list,
  // so 61003 (which would fail loudly: its folder has no template) is never
  // looked at.
  m.SetMachineString(kGameInfo, L"61001", L"Bar|x|" + bar + L"|1");

  // A depth other than the current one, so the change must happen.
  m.RestoreDisplayWhenDone();
  const int bits = m.DisplayBits(false) == 16 ? 32 : 16;
  m.Write("My Games/Foo/GamePatch/Config.ini", "[game_base]\r\nCompatibilityMode=WINXPSP3\r\n"
                                               "[action_first]\r\nassocGids=61001|61002|61003\r\nsetBits=" +
                                                   std::to_string(bits) + "\r\n");

  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(foo) + "|game.exe|-window"}), 0);
  m.WaitForRecord(1);

  // Converted files: the template with the folder in, backslashes doubled.
  EXPECT_EQ(ReadFile(m.Host("My Games/Foo/GamePatch/reg.reg")),
            Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + L"]\r\n\"Own\"=\"" +
                      Doubled(fooDir) + L"\"\r\n"));
  EXPECT_EQ(ReadFile(m.Host("My Games/Foo/GamePatch/61001.reg")),
            Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + L"]\r\n\"Other\"=\"" +
                      Doubled(bar) + L"\"\r\n"));

  // The registry editor is not waited for: its values arrive a little later.
  for (int i = 0; i < 300 && (m.UserString(key, L"Own").empty() || m.UserString(key, L"Other").empty()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(m.UserString(key, L"Own"), fooDir);
  EXPECT_EQ(m.UserString(key, L"Other"), bar);

  const std::wstring exe = foo + L"\\game.exe";
  EXPECT_EQ(m.UserString(kLayers, exe), L"WINXPSP3");
  EXPECT_EQ(m.DisplayBits(true), bits);

  const std::string gamePatch = WideToUtf8(foo) + "\\GamePatch\\";
  EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                              "MSG: Init base value from cmdLine succeed",
                              "SetCompatibilityMode Succeed: mode=WINXPSP3, code=0",
                              "MSG: Convert succeed, file=" + gamePatch + "reg.reg, code=0",
                              "MSG: Assis gid' directory=" + WideToUtf8(bar) + ", code=0",
                              "MSG: Convert succeed, file=" + gamePatch + "61001.reg, code=0",
                              "MSG: Assis gid' directory=, code=0",
                              "MSG: regedit succeed, file=" + gamePatch + "61001.reg, code=0",
                              "MSG: regedit succeed, file=" + gamePatch + "reg.reg, code=0",
                              "MSG: Execute: file=" + WideToUtf8(exe) + ", param=-window, workdir=" + WideToUtf8(foo) +
                                  ", code=0",
                          }));
}

}  // namespace
}  // namespace kestrel::e2e
