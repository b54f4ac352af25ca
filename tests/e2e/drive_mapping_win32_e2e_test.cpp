// Drive mapping on the Windows build.  Under Wine a substituted drive never
// becomes reachable (DefineDosDeviceW reports success without making it),
// so here recorders stand in for subst.exe and the Virtual Drive Manager
// and the checks are how the launcher drives them: the runs and their
// order, the bounded waits, the settings written and the manager's start.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

const wchar_t kSettingsKey[] = L"Software\\Towodo Software\\Virtual Drive Manager\\Settings";

/// The first letter from D that names no drive of this machine.
char FirstFreeLetter() {
  DWORD drives = ::GetLogicalDrives();
  for (char letter = 'D'; letter <= 'Z'; ++letter)
    if (!(drives & (1u << (letter - 'A')))) return letter;
  return 0;
}

/// The record without its "cwd=" lines: programs and arguments only.
std::vector<std::string> WithoutFolders(const std::vector<std::string>& record) {
  std::vector<std::string> out;
  for (const std::string& line : record)
    if (line.rfind("cwd=", 0) != 0) out.push_back(line);
  return out;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(DriveMappingWin32E2E, SubstRunsInOrderAndTheProbeWaitIsBounded) {
  TempMachine m;
  m.MakeDir("Foo/GamePatch");
  m.Install(KESTREL_RECORDER, "Foo/game.exe");
  m.Install(KESTREL_RECORDER, "Foo/GamePatch/subst.exe");
  m.Write("Foo/GamePatch/Config.ini", "[action_first]\r\nsubstFlag=1\r\n");
  const char letter = FirstFreeLetter();
  ASSERT_NE(letter, 0);
  const std::string drive = std::string(1, letter) + ":";
  const std::string foo = WideToUtf8(m.Windows("Foo"));

  Clock::time_point start = Clock::now();
  ASSERT_EQ(m.Run(KESTREL_EXE, {foo + "|game.exe"}), 0);
  double seconds = SecondsSince(start);

  std::vector<std::string> expected;
  for (char c = 'C'; c <= 'Z'; ++c)
    for (const std::string& line : {std::string("program=subst.exe"), "arg=" + std::string(1, c) + ":",
                                    std::string("arg=/D"), std::string("done")})
      expected.push_back(line);
  // The folder as one argument, its closing backslash dropped.
  for (const std::string& line : {std::string("program=subst.exe"), "arg=" + drive, "arg=" + foo, std::string("done")})
    expected.push_back(line);
  // Nothing answered on the drive, so the game starts from its own folder.
  for (const std::string& line : {std::string("program=game.exe"), std::string("done")}) expected.push_back(line);
  std::vector<std::string> record = m.WaitForRecord(26);
  EXPECT_EQ(WithoutFolders(record), expected);
  EXPECT_EQ(record.at(record.size() - 2), "cwd=" + m.Host("Foo"));

  // 40 probes 500 ms apart, and no more.
  EXPECT_GE(seconds, 20.0);
  EXPECT_LT(seconds, 60.0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m.Windows("Foo/CheckExist.kestrel"))));
  std::vector<std::string> log = m.LogLines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].rfind("MSG: subst false, drive not reachable => " + drive + ", dir=" + foo, 0), 0u) << log[1];
  EXPECT_EQ(log[2], "MSG: Execute: file=" + foo + "\\game.exe, param=, workdir=" + foo + ", code=0");
}

/// A registry value of the manager's settings: its type and bytes.
std::pair<DWORD, std::string> SettingsValue(const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS)
    return {0, "(none)"};
  std::string bytes(size, '\0');
  ::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &type, bytes.data(), &size);
  bytes.resize(size);
  return {type, bytes};
}

TEST(DriveMappingWin32E2E, ManagerGetsItsSettingsAndStartsInItsFolder) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Towodo Software");
  TempMachine m;
  m.MakeDir("Foo/GamePatch/Virtual Drive Manager");
  m.Install(KESTREL_RECORDER, "Foo/game.exe");
  m.Install(KESTREL_RECORDER, "Foo/GamePatch/Virtual Drive Manager/Virtual Drive Manager.exe");
  m.Write("Foo/GamePatch/光盘.iso", "image");
  m.Write("Foo/GamePatch/Config.ini",
          "\xFF\xFE" + WideToUtf16Le(L"[action_first]\r\nvirtualDriveFile=光盘.iso\r\n"));
  const char letter = FirstFreeLetter();
  ASSERT_NE(letter, 0);

  Clock::time_point start = Clock::now();
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(m.Windows("Foo")) + "|game.exe"}), 0);
  double seconds = SecondsSince(start);

  std::wstring record = std::wstring{static_cast<wchar_t>(letter), L':', L'\0'} + L"auto detect" + L'\0' +
                        L"disabled" + L'\0' + m.Windows("Foo/GamePatch/光盘.iso") + L'\0' + L"1" + L'\0' + L'\0';
  EXPECT_EQ(SettingsValue(L"LastMounts"), std::make_pair(DWORD{REG_MULTI_SZ}, WideToUtf16Le(record)));
  for (const wchar_t* option : {L"MountPrevious", L"XbtnQuit"})
    EXPECT_EQ(SettingsValue(option), std::make_pair(DWORD{REG_DWORD}, std::string("\x01\x00\x00\x00", 4)))
        << WideToUtf8(option);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Towodo Software");

  EXPECT_EQ(m.WaitForRecord(2), (std::vector<std::string>{"program=Virtual Drive Manager.exe",
                                                          "cwd=" + m.Host("Foo/GamePatch/Virtual Drive Manager"),
                                                          "done", "program=game.exe", "cwd=" + m.Host("Foo"),
                                                          "done"}));
  // The drive never appears under Wine: 40 pauses of 200 ms.
  EXPECT_GE(seconds, 8.0);
  EXPECT_LT(seconds, 30.0);
  std::vector<std::string> log = m.LogLines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], "MSG: Virtual Drive Manager Load success.");
}

}  // namespace
}  // namespace kestrel::e2e
