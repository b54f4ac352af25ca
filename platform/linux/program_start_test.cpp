#include <gtest/gtest.h>
#include <signal.h>

#include "platform/linux/linux_test_support.h"

namespace kestrel {
namespace {

using testing::LinuxMachineTest;

class ProgramStartTest : public LinuxMachineTest {};

TEST_F(ProgramStartTest, CreateProcessIsWaitedForToItsEnd) {
  MakeDir("My Dir");
  WriteRecorder("My Dir/inst.exe", "record.txt", 7);
  Handle h = kNoHandle;
  std::size_t runs = 0;
  // Quoted, and unquoted with blanks in the folder: Windows finds the
  // program both ways.
  for (const std::wstring& line : {L"\"" + Win("My Dir/inst.exe") + L"\" /q \"a b\" x\\\"y",
                                   Win("My Dir/inst.exe") + L" /q \"a b\" x\\\"y"}) {
    ASSERT_TRUE(os_->CreateProcessW(line, win::kNormalPriorityClass, win::kSwShow, Win("My Dir"), &h))
        << WideToUtf8(line) << " error " << os_->GetLastError();
    EXPECT_EQ(os_->GetLastError(), 0u);
    EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
    // The wait ends with the program (which fails): its last line is there.
    std::string record = Read(Path("record.txt"));
    std::size_t done = 0;
    for (std::size_t at = 0; (at = record.find("done\n", at)) != std::string::npos; at += 5) ++done;
    EXPECT_EQ(done, ++runs) << record;
    EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);  // an ended process stays signalled
    EXPECT_TRUE(os_->CloseHandle(h));
    EXPECT_FALSE(os_->CloseHandle(h));
  }
  std::string record = Read(Path("record.txt"));
  std::string expected = "program=inst.exe\narg=/q\narg=a b\narg=x\"y\ncwd=" + Path("My Dir") + "\n";
  EXPECT_NE(record.find(expected), std::string::npos) << record;
  EXPECT_NE(record.find(expected, record.find(expected) + 1), std::string::npos) << record;
  EXPECT_EQ(record.find("sid=" + std::to_string(getsid(0)) + "\n"), std::string::npos) << "own session: " << record;
  EXPECT_NE(record.find("root=" + tmp_ + "/root\n"), std::string::npos) << record;
}

TEST_F(ProgramStartTest, ProgramsAreFoundTheWindowsWay) {
  MakeDir("bin");
  WriteRecorder("bin/tool.exe", "record.txt");
  WriteRecorder("bin/native", "record.txt");
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(Path("bin").c_str()), 0);
  struct Case {
    std::wstring line;
    const char* program;
  };
  const Case cases[] = {
      {Win("bin/tool") + L" -a", "tool.exe"},  // ".exe" appended
      {L"tool -b", "tool.exe"},                // a bare name in the current folder
      {L"native -c", "native"},                // a native program without extension
      {L"bin\\..\\tool.exe -d", "tool.exe"},   // relative to the current folder
  };
  for (const Case& c : cases) {
    Handle h = kNoHandle;
    EXPECT_TRUE(os_->CreateProcessW(c.line, win::kNormalPriorityClass, win::kSwShow, L"", &h)) << WideToUtf8(c.line);
    if (h) {
      os_->WaitForSingleObject(h, win::kInfinite);
      os_->CloseHandle(h);
    }
  }
  ASSERT_EQ(chdir(saved), 0);
  std::string record = Read(Path("record.txt"));
  for (const char* expected : {"program=tool.exe\narg=-a\n", "program=tool.exe\narg=-b\n", "program=native\narg=-c\n",
                               "program=tool.exe\narg=-d\n"})
    EXPECT_NE(record.find(expected), std::string::npos) << expected << " in " << record;
}

TEST_F(ProgramStartTest, FailedStartsSetTheWindowsError) {
  Write("plain.txt", "text");
  Write("noexec.sh", "#!/bin/sh\nexit 0\n", 0644);
  Write("game.exe", std::string("MZ\x90\0", 4) + std::string(200, '\0'), 0644);
  Write("fake.exe", "not a program", 0644);
  Write("broken.exe", "#!/nonexistent/interpreter\n", 0755);
  WriteRecorder("ok.exe", "record.txt");
  struct Case {
    std::wstring line, directory;
    std::uint32_t error;
  };
  const Case cases[] = {
      {Win("missing.exe"), L"", win::kFileNotFound},
      {Win("nodir/missing.exe") + L" -x", L"", win::kPathNotFound},
      {L"Q:\\game.exe", L"", win::kPathNotFound},
      {L"", L"", win::kFileNotFound},
      {L"   ", L"", win::kFileNotFound},
      {L"\"" + Win("missing dir\\a b.exe"), L"", win::kPathNotFound},  // unbalanced quote
      {base_, L"", win::kAccessDenied},                                 // a folder
      {Win("noexec.sh"), L"", win::kAccessDenied},                      // a script without its execute bit
      {Win("plain.txt"), L"", win::kBadExeFormat},                      // not a program
      {Win("fake.exe"), L"", win::kBadExeFormat},
      {Win("game.exe"), L"", win::kBadExeFormat},  // a Windows program, Wine turned off
      {Win("broken.exe"), L"", win::kFileNotFound},
      {Win("ok.exe"), Win("plain.txt"), win::kDirectory},  // the working folder is a file
      {Win("ok.exe"), Win("nowhere"), win::kDirectory},
  };
  for (const Case& c : cases) {
    Handle h = 0x1234;
    os_->SetLastError(0);
    EXPECT_FALSE(os_->CreateProcessW(c.line, win::kNormalPriorityClass, win::kSwShow, c.directory, &h))
        << WideToUtf8(c.line);
    EXPECT_EQ(os_->GetLastError(), c.error) << WideToUtf8(c.line);
    EXPECT_EQ(h, kNoHandle);
  }
  EXPECT_EQ(Read(Path("record.txt")), "");
}

TEST_F(ProgramStartTest, ShellExecuteResultsAndErrors) {
  Write("plain.txt", "text");
  Write("run.bat", "@echo off\r\n");
  Write("setup.msi", "x");
  Write("game.exe", std::string("MZ\x90\0", 4), 0644);
  Write("script.sh", "#!/bin/sh\n", 0644);
  Write("ok.sh", "#!/bin/sh\n", 0755);
  Write("plain.exe", "text");
  struct Case {
    std::wstring verb, file, directory;
    std::intptr_t result;
    std::uint32_t error;
  };
  const Case cases[] = {
      {L"open", Win("game.exe"), L"", 11, win::kBadExeFormat},
      {L"open", Win("run.bat"), L"", 31, win::kNoAssociation},
      {L"", Win("setup.msi"), L"", 31, win::kNoAssociation},
      {L"open", Win("plain.txt"), L"", 31, win::kNoAssociation},  // no xdg-open on this PATH
      {L"open", L"https://example.com/", L"", 31, win::kNoAssociation},
      {L"open", Win("script.sh"), L"", 5, win::kAccessDenied},
      {L"open", Win("plain.exe"), L"", 11, win::kBadExeFormat},
      {L"print", Win("plain.txt"), L"", 31, win::kNoAssociation},
      {L"open", L"game.exe", base_, 11, win::kBadExeFormat},  // a relative file in the working folder
      {L"open", L"", L"", 2, win::kFileNotFound},
      {L"open", Win("ok.sh"), Win("nowhere"), 3, win::kDirectory},
  };
  for (const Case& c : cases) {
    os_->SetLastError(0);
    EXPECT_EQ(os_->ShellExecuteW(c.verb, c.file, L"", c.directory, win::kSwShowNormal), c.result)
        << WideToUtf8(c.file);
    EXPECT_EQ(os_->GetLastError(), c.error) << WideToUtf8(c.file);
  }
}

TEST_F(ProgramStartTest, DocumentsAndUrlsOpenWithXdgOpen) {
  MakeDir("tools");
  WriteRecorder("tools/xdg-open", "record.txt");
  env_.Set("PATH", Path("tools") + ":/usr/bin:/bin");
  Write("notes.txt", "text");
  EXPECT_GT(os_->ShellExecuteW(L"open", L"https://example.com/?a=1&b=2", L"", L"", win::kSwShowNormal), 32);
  EXPECT_EQ(os_->GetLastError(), 0u);
  WaitFor("record.txt");
  EXPECT_GT(os_->ShellExecuteW(L"open", Win("NOTES.TXT"), L"", L"", win::kSwShowNormal), 32);
  std::string record;
  for (int i = 0; i < 500 && (record = Read(Path("record.txt"))).find("notes.txt") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_NE(record.find("program=xdg-open\narg=https://example.com/?a=1&b=2\n"), std::string::npos) << record;
  EXPECT_NE(record.find("program=xdg-open\narg=" + Path("notes.txt") + "\n"), std::string::npos) << record;
}

TEST_F(ProgramStartTest, WindowsProgramsRunThroughWine) {
  MakeDir("tools");
  WriteRecorder("tools/wine", "record.txt");
  env_.Set("KESTREL_WINE", Path("tools/wine"));
  env_.Set("WINEPREFIX", std::nullopt);
  MakeDir("Game");
  Write("Game/game.exe", std::string("MZ\x90\0", 4), 0644);
  Write("Game/run.bat", "@echo off\r\n");
  Handle h = kNoHandle;
  ASSERT_TRUE(os_->ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"open", Win("Game/game.exe"), L"-window \"a b\"",
                                   Win("Game"), win::kSwShowNormal, &h));
  ASSERT_NE(h, kNoHandle);
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitObject0);
  os_->CloseHandle(h);
  ASSERT_TRUE(os_->CreateProcessW(L"\"" + Win("Game/run.bat") + L"\" x", win::kNormalPriorityClass, win::kSwShow,
                                  L"", &h));
  os_->WaitForSingleObject(h, win::kInfinite);
  os_->CloseHandle(h);
  std::string record = Read(Path("record.txt"));
  EXPECT_NE(record.find("program=wine\narg=" + Path("Game/game.exe") + "\narg=-window\narg=a b\ncwd=" +
                        Path("Game") + "\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("program=wine\narg=cmd\narg=/c\narg=" + WideToUtf8(Win("Game/run.bat")) + "\narg=x\n"),
            std::string::npos)
      << record;
  // Wine's prefix is the machine root, so Windows programs see its drives.
  EXPECT_NE(record.find("wineprefix=" + tmp_ + "/root\n"), std::string::npos) << record;
}

TEST_F(ProgramStartTest, SystemProgramsRunTheSystemTool) {
  MakeDir("tools");
  WriteRecorder("tools/kestrel-system", "record.txt", 4);
  env_.Set("KESTREL_SYSTEM_TOOL", Path("tools/kestrel-system"));
  MakeDir("Game/GamePatch");
  Write("Game/GamePatch/subst.exe", std::string("MZ", 2), 0644);
  auto run = [&](const std::wstring& line) {
    Handle h = kNoHandle;
    EXPECT_TRUE(os_->CreateProcessW(line, win::kNormalPriorityClass, win::kSwShow, L"", &h)) << WideToUtf8(line);
    if (h == kNoHandle) return false;
    bool ended = os_->WaitForSingleObject(h, win::kInfinite) == win::kWaitObject0;
    os_->CloseHandle(h);
    return ended;
  };
  // Each waited for to its end; the record below shows what ran.
  EXPECT_TRUE(run(L"regsvr32 /s \"C:\\Games\\a b.dll\""));
  EXPECT_TRUE(run(L"WScript \"" + Win("Game/GamePatch/run.vbs") + L"\""));
  EXPECT_TRUE(run(L"\"" + Win("Game/GamePatch/subst.exe") + L"\" F: /D"));
  Handle h = kNoHandle;
  ASSERT_TRUE(os_->ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"", Win("game/gamepatch/SUBST"), L"G: \"D:\\x y\"",
                                   L"", win::kSwHide, &h));
  os_->WaitForSingleObject(h, win::kInfinite);
  os_->CloseHandle(h);
  EXPECT_GT(os_->ShellExecuteW(L"open", L"Regedit.exe", L"/s \"C:\\x.reg\"", Win("Game"), win::kSwHide), 32);
  std::string record;
  for (int i = 0; i < 500; ++i) {
    record = Read(Path("record.txt"));
    std::size_t at = record.find("arg=regedit");
    if (at != std::string::npos && record.find("done\n", at) != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // A subst.exe named by its folder must be there.
  EXPECT_FALSE(os_->CreateProcessW(Win("Other/subst.exe") + L" F: /D", 0x20, win::kSwHide, L"", nullptr));
  EXPECT_EQ(os_->GetLastError(), win::kPathNotFound);

  for (const std::string& expected :
       {std::string("program=kestrel-system\narg=regsvr32\narg=/s\narg=C:\\Games\\a b.dll\n"),
        "program=kestrel-system\narg=wscript\narg=" + WideToUtf8(Win("Game/GamePatch/run.vbs")) + "\n",
        std::string("program=kestrel-system\narg=subst\narg=F:\narg=/D\n"),
        std::string("program=kestrel-system\narg=subst\narg=G:\narg=D:\\x y\n"),
        "program=kestrel-system\narg=regedit\narg=/s\narg=C:\\x.reg\ncwd=" + Path("Game") + "\n"})
    EXPECT_NE(record.find(expected), std::string::npos) << expected << " in " << record;
  EXPECT_NE(record.find("root=" + tmp_ + "/root\n"), std::string::npos) << record;
}

TEST_F(ProgramStartTest, WaitsWithATimeLimitAndTermination) {
  Write("slow.exe", "#!/bin/sh\nsleep 30\n", 0755);
  Handle h = kNoHandle;
  ASSERT_TRUE(os_->CreateProcessW(Win("slow.exe"), win::kNormalPriorityClass, win::kSwShow, L"", &h));
  EXPECT_EQ(os_->WaitForSingleObject(h, 50), win::kWaitTimeout);
  EXPECT_TRUE(os_->TerminateProcess(h, 9));
  EXPECT_EQ(os_->WaitForSingleObject(h, 10000), win::kWaitObject0) << "ended by the termination, not by its sleep";
  EXPECT_FALSE(os_->TerminateProcess(h, 1));  // it has ended
  EXPECT_EQ(os_->GetLastError(), win::kAccessDenied);
  os_->CloseHandle(h);
  EXPECT_EQ(os_->WaitForSingleObject(h, win::kInfinite), win::kWaitFailed);
  EXPECT_EQ(os_->GetLastError(), win::kInvalidHandle);
}

TEST_F(ProgramStartTest, AClosedHandleLeavesNoZombie) {
  Write("quick.exe", "#!/bin/sh\necho $$ > '" + Path("pid.txt") + "'\nsleep 0.2\n", 0755);
  Handle h = kNoHandle;
  ASSERT_TRUE(os_->CreateProcessW(Win("quick.exe"), win::kNormalPriorityClass, win::kSwShow, L"", &h));
  ASSERT_TRUE(os_->CloseHandle(h));  // while it still runs
  std::string pid;
  for (int i = 0; i < 200 && (pid = Read(Path("pid.txt"))).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(pid.empty());
  pid.erase(pid.find_last_not_of("\n") + 1);
  bool gone = false;
  for (int i = 0; i < 300 && !gone; ++i) {
    gone = kill(std::stoi(pid), 0) != 0;  // a zombie still answers
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "process " << pid << " was not reaped";
}

}  // namespace
}  // namespace kestrel
