// Game folders as they arrive after a careless copy or a hostile edit: a
// zero inside a Config.ini value, a FIFO or a device where a template
// should be, a template too large to read, a link where the launcher writes.
// Each launch must end promptly, start the game, and touch nothing outside
// the game's folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

/// Runs the launcher on `line`; false (and the launcher ended) when it is
/// still running after 30 seconds.
bool LaunchEnds(const TempMachine& m, const std::string& line) {
  std::unique_ptr<StartedProgram> launcher = m.Start(KESTREL_EXE, {line});
  for (int i = 0; i < 600; ++i) {
    if (!launcher->Running()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  launcher->End();
  return false;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines)
    if (line.find(wanted) != std::string::npos) return true;
  return false;
}

class HostileInputE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    m_.MakeDir("Foo/GamePatch");
    m_.MakeDir("Foo/save");
    m_.Install(KESTREL_RECORDER, "Foo/game.exe");
    m_.Write("Foo/save/slot.sav", "slot");
    m_.Write("outside.txt", "outside");
  }
  std::string Line() const { return WideToUtf8(m_.Windows("Foo")) + "|game.exe|-window"; }
  void ExpectGameStartedAndFolderKept() {
    EXPECT_EQ(m_.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "arg=-window", "cwd=" + m_.Host("Foo"), "done"}));
    EXPECT_EQ(ReadFile(m_.Host("Foo/save/slot.sav")), "slot");
    EXPECT_EQ(ReadFile(m_.Host("outside.txt")), "outside");
  }
  TempMachine m_;
};

// The zero ends the value, as Windows' profile API ends it: the list is
// empty, and nothing (the base folder least of all) is deleted.
TEST_F(HostileInputE2E, ZeroInsideAConfigValue) {
  m_.Write("Foo/GamePatch/Config.ini", std::string("[action_first]\r\ndelFileOrDirs=\0x\r\nrunFirstExe=game.exe\0..\\..\\x\r\n", 64));
  ASSERT_TRUE(LaunchEnds(m_, Line()));
  EXPECT_EQ(m_.WaitForRecord(2).size(), 7u);  // runFirstExe (3 lines) and the game (4), both game.exe
  EXPECT_EQ(ReadFile(m_.Host("Foo/save/slot.sav")), "slot");
  EXPECT_FALSE(HasLine(m_.LogLines(), "Delete"));
}

// Templates that are no regular file: each is refused at once (error 5),
// and the launch goes on.
TEST_F(HostileInputE2E, TemplatesThatAreNoFiles) {
  m_.Write("Foo/GamePatch/Config.ini", "[game_base]\r\n");
  for (const char* kind : {"fifo", "device", "huge"}) {
    SCOPED_TRACE(kind);
    const std::string reg = m_.Host("Foo/GamePatch/reg.cfg");
    unlink(reg.c_str());
    unlink(m_.log().c_str());
    unlink(m_.record().c_str());
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(mkfifo(reg.c_str(), 0644), 0);
    } else if (std::string(kind) == "device") {
      ASSERT_EQ(symlink("/dev/zero", reg.c_str()), 0);
    }
    if (std::string(kind) == "huge") {
      m_.Write("Foo/GamePatch/reg.cfg", "");
      ASSERT_EQ(truncate(reg.c_str(), 65 << 20), 0);  // sparse: no disk space taken
    }
    ASSERT_TRUE(LaunchEnds(m_, Line()));
    ExpectGameStartedAndFolderKept();
    const std::string failed = "MSG: Convert failed, file=" + WideToUtf8(m_.Windows("Foo")) + "\\GamePatch\\reg.cfg, code=";
    EXPECT_TRUE(HasLine(m_.LogLines(), failed + (std::string(kind) == "huge" ? "223" : "5"))) << failed;
    if (std::string(kind) == "huge") {
      EXPECT_TRUE(HasLine(m_.LogLines(), "MSG: File not read, larger than 64 MiB: file="));
    }
  }
}

// A link where the launcher writes GamePatch\reg.reg is replaced by the
// converted file; the file it pointed to stays as it was.
TEST_F(HostileInputE2E, LinkWhereTheLauncherWrites) {
  m_.Write("Foo/GamePatch/Config.ini", "[game_base]\r\n");
  m_.Write("Foo/GamePatch/reg.cfg", "\xFF\xFE" + WideToUtf16Le(L"Windows Registry Editor Version 5.00\r\n"));
  ASSERT_EQ(symlink(m_.Host("outside.txt").c_str(), m_.Host("Foo/GamePatch/reg.reg").c_str()), 0);
  ASSERT_TRUE(LaunchEnds(m_, Line()));
  ExpectGameStartedAndFolderKept();
  struct stat st;
  ASSERT_EQ(lstat(m_.Host("Foo/GamePatch/reg.reg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

}  // namespace
}  // namespace kestrel::e2e
