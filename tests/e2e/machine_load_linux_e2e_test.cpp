// The machine model under load: twenty launchers started at once on one
// machine root, and a launch on a disk that is full.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/linux_platform.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

constexpr int kLaunchers = 20;
constexpr wchar_t kKey[] = L"Software\\KestrelConcurrency";

/// Waits until every program ended; false when one still runs after a
/// minute (it is ended then).
bool AllEnd(std::vector<std::unique_ptr<StartedProgram>>& programs) {
  for (int i = 0; i < 1200; ++i) {
    bool running = false;
    for (auto& p : programs) running = p->Running() || running;
    if (!running) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (auto& p : programs) p->End();
  return false;
}

std::size_t CountStarts(const TempMachine& m) {
  std::ifstream in(m.record());
  std::size_t count = 0;
  for (std::string line; std::getline(in, line);) count += line.rfind("program=", 0) == 0;
  return count;
}

std::string Game(int i) { return "Game" + std::to_string(100 + i).substr(1); }

class MachineLoadE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    m_.MakeDir("Launcher");
    m_.Install(KESTREL_EXE, "Launcher/" + ProgramFile("KestrelEx"));
    m_.Install(KESTREL_SYSTEM_EXE, "Launcher/kestrel-system");  // regedit of the machine model
  }
  std::string Launcher() const { return m_.Host("Launcher/" + ProgramFile("KestrelEx")); }
  std::vector<std::unique_ptr<StartedProgram>> StartAll() {
    std::vector<std::unique_ptr<StartedProgram>> launchers;
    for (int i = 0; i < kLaunchers; ++i)
      launchers.push_back(m_.Start(Launcher(), {WideToUtf8(m_.Windows(Game(i))) + "|game.exe"}));
    return launchers;
  }
  TempMachine m_;
};

// Without the companion client, one launcher runs and the other nineteen
// end at once; the one that runs holds the mutex for five seconds after
// the game starts, long after all have been started.
TEST_F(MachineLoadE2E, TwentyLaunchersAtOnceOneRuns) {
  for (int i = 0; i < kLaunchers; ++i) {
    m_.MakeDir(Game(i) + "/GamePatch");
    m_.Install(KESTREL_RECORDER, Game(i) + "/game.exe");
    m_.Write(Game(i) + "/GamePatch/Config.ini", "[action_after]\r\nsleep=5000\r\n");
  }
  auto launchers = StartAll();
  ASSERT_TRUE(AllEnd(launchers));
  m_.WaitForRecord(1);
  EXPECT_EQ(CountStarts(m_), 1u);
}

// With the companion client beside the launcher all twenty run: each
// imports its registry value into the one store and writes its own
// Config.ini.  No value is lost, and every file reads whole.
TEST_F(MachineLoadE2E, TwentyLaunchersAtOnceWithTheCompanionLoseNothing) {
  m_.Write("Launcher/Halyard.exe", "");
  const std::string note = "; operator's note\r\n";
  for (int i = 0; i < kLaunchers; ++i) {
    const std::string game = Game(i);
    m_.MakeDir(game + "/GamePatch");
    m_.Install(KESTREL_RECORDER, game + "/game.exe");
    m_.Write(game + "/GamePatch/reg.cfg",
             "\xFF\xFE" + WideToUtf16Le(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                                        std::wstring(kKey) + L"]\r\n\"" + Utf8ToWide(game) +
                                        L"\"=\"|gamepath|\"\r\n"));
    m_.Write(game + "/GamePatch/Config.ini", note +
                                                 "[set_platform]\r\nPlatformConfigFile=[GAMEDIR]GamePatch\\Config.ini\r\n"
                                                 "[platform_Game1]\r\nAppName=Written\r\nCount=" +
                                                 std::to_string(i) + "\r\n");
  }
  auto launchers = StartAll();
  ASSERT_TRUE(AllEnd(launchers));
  m_.WaitForRecord(kLaunchers);
  EXPECT_EQ(CountStarts(m_), static_cast<std::size_t>(kLaunchers));

  // The registry editor runs detached: its values arrive a little later.
  auto missing = [&] {
    int count = 0;
    for (int i = 0; i < kLaunchers; ++i) count += m_.UserString(kKey, Utf8ToWide(Game(i))).empty();
    return count;
  };
  for (int i = 0; i < 600 && missing() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(missing(), 0);
  for (int i = 0; i < kLaunchers; ++i)
    EXPECT_EQ(m_.UserString(kKey, Utf8ToWide(Game(i))), m_.Windows(Game(i)) + L"\\") << Game(i);

  LinuxPlatform machine(MachineRoot(m_.Host("root")));
  for (int i = 0; i < kLaunchers; ++i) {
    const std::wstring config = m_.Windows(Game(i) + "/GamePatch/Config.ini");
    EXPECT_EQ(machine.GetPrivateProfileStringW(L"Written", L"Count", L"", 260, config), std::to_wstring(i));
    EXPECT_EQ(ReadFile(m_.Host(Game(i) + "/GamePatch/Config.ini")).rfind(note, 0), 0u) << Game(i);
  }
}

/// A small file system of its own, unmounted when the test ends.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& path) : path_(path) {
    std::filesystem::create_directories(path);
    mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=4m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  /// Fills what is left with one file, until the disk says it is full.
  void Fill() const {
    std::ofstream out(path_ + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (out.write(block.data(), block.size()) && out.flush()) {
    }
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

// The disk of the game folder is full: the two writes of the launch (the
// converted registry template and the platform entry in Config.ini) fail
// and say so, nothing half-written is left, and the game still starts.
TEST(FullDiskE2E, WritesFailCleanlyAndTheGameStarts) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs; skipped";
  TempMachine m;
  SmallDisk disk(m.Host("Full"));
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (no CAP_SYS_ADMIN); skipped";
  m.MakeDir("Full/Foo/GamePatch");
  m.Install(KESTREL_RECORDER, "Full/Foo/game.exe");
  const std::string config = "[set_platform]\r\nPlatformConfigFile=[GAMEDIR]GamePatch\\Config.ini\r\n"
                             "[platform_Game1]\r\nAppName=Written\r\nCount=1\r\n";
  m.Write("Full/Foo/GamePatch/Config.ini", config);
  m.Write("Full/Foo/GamePatch/reg.cfg", "\xFF\xFE" + WideToUtf16Le(L"Windows Registry Editor Version 5.00\r\n"
                                                                   L"[HKEY_CURRENT_USER\\Software\\Full]\r\n"
                                                                   L"\"Path\"=\"|gamepath|\"\r\n"));
  disk.Fill();
  m.PlanDiffers("a dry run cannot know that the disk is full");

  const std::string foo = WideToUtf8(m.Windows("Full/Foo"));
  ASSERT_EQ(m.Run(KESTREL_EXE, {foo + "|game.exe"}), 0);
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "cwd=" + m.Host("Full/Foo"), "done"}));
  const std::vector<std::string> lines = m.LogLines();
  auto logged = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(logged("MSG: Convert failed, file=" + foo + "\\GamePatch\\reg.reg, code=112"));
  EXPECT_TRUE(logged("MSG: set_platform write failed, file=" + foo +
                     "\\GAMEPATCH\\CONFIG.INI, section=Written, key=Count, code=112"));  // the value upper-cased
  // Config.ini as it was, and no other file: no torn copy, no temporary.
  EXPECT_EQ(ReadFile(m.Host("Full/Foo/GamePatch/Config.ini")), config);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(m.Host("Full/Foo/GamePatch")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Config.ini", "reg.cfg"}));
}

}  // namespace
}  // namespace kestrel::e2e
