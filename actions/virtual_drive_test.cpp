#include "actions/virtual_drive.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "tests/support/fake_registry.h"
#include "text/utf.h"
#include "util/registry_helpers.h"

namespace kestrel {
namespace {

using testing::RegBytes;

const std::wstring kPatch = L"D:\\Games\\Foo\\GamePatch\\";
const std::wstring kManagerDir = kPatch + L"Virtual Drive Manager";
const std::wstring kManager = kManagerDir + L"\\Virtual Drive Manager.exe";

/// A machine on which the manager mounts its "LastMounts" drive after it
/// has been running for `upAfterPauses` pauses of the launcher (never when
/// negative).
class ManagerMachine : public FakePlatform {
 public:
  ManagerMachine() {
    AddDirectory(L"C:\\");
    AddDirectory(L"E:\\");
    onStart = [this](const FakeCall& start) {
      if (start.args[1] == kManager) started_ = true;
      Mount();
      return 0u;
    };
  }
  int upAfterPauses = 0;
  void Sleep(std::uint32_t milliseconds) override {
    FakePlatform::Sleep(milliseconds);
    ++pauses_;
    Mount();
  }

 private:
  void Mount() {
    const RegValue* mounts = FindRegValue(RegRoot::kCurrentUser, kDriveManagerSettingsKey, L"LastMounts");
    if (!started_ || !mounts || mounts->data.size() < 4 || upAfterPauses < 0 || pauses_ < upAfterPauses) return;
    AddDirectory(std::wstring{static_cast<wchar_t>(mounts->data[0]), L':', L'\\'});
  }
  bool started_ = false;
  int pauses_ = 0;
};

class VirtualDriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.baseDir = L"D:\\Games\\Foo";
    Config(L"virtualDriveFile=disc.iso\n");
    fake_.AddFile(kManager);
    fake_.AddFile(kPatch + L"disc.iso");
  }
  void Config(const std::wstring& actionFirst) {
    fake_.AddIni(kPatch + L"Config.ini", L"[action_first]\n" + actionFirst);
  }
  ManagerMachine fake_;
  LaunchContext context_;
};

TEST_F(VirtualDriveTest, EmptyKeyDoesNothing) {
  Config(L"virtualDriveFile=\n");
  EXPECT_TRUE(VirtualDriveFile(fake_, context_));
  EXPECT_TRUE(fake_.Effects().empty());
}

TEST_F(VirtualDriveTest, WritesTheSettingsStartsTheManagerAndWaitsForTheDrive) {
  EXPECT_TRUE(VirtualDriveFile(fake_, context_));
  const std::wstring key = kDriveManagerSettingsKey;
  EXPECT_EQ(fake_.Effects(),
            (std::vector<FakeCall>{
                {L"SHSetValueW",
                 {L"HKEY_CURRENT_USER", key, L"LastMounts", L"7",
                  // F:|auto detect|disabled|image|1, each closed by a zero, then one more zero
                  L"46 00 3a 00 00 00 61 00 75 00 74 00 6f 00 20 00 64 00 65 00 74 00 65 00 63 00 74 00 00 00 "
                  L"64 00 69 00 73 00 61 00 62 00 6c 00 65 00 64 00 00 00 "
                  L"44 00 3a 00 5c 00 47 00 61 00 6d 00 65 00 73 00 5c 00 46 00 6f 00 6f 00 5c 00 "
                  L"47 00 61 00 6d 00 65 00 50 00 61 00 74 00 63 00 68 00 5c 00 64 00 69 00 73 00 63 00 2e 00 "
                  L"69 00 73 00 6f 00 00 00 31 00 00 00 00 00"}},
                {L"SHSetValueW", {L"HKEY_CURRENT_USER", key, L"MountPrevious", L"4", L"01 00 00 00"}},
                {L"SHSetValueW", {L"HKEY_CURRENT_USER", key, L"XbtnQuit", L"4", L"01 00 00 00"}},
                {L"ShellExecuteW", {L"open", kManager, L"", kManagerDir, L"6"}},
                {L"OutputDebugStringW", {L"MSG: Virtual Drive Manager Load success."}},
            }));
}

TEST_F(VirtualDriveTest, MountRecordNamesTheImageAsFound) {
  struct Case {
    std::wstring value, image, drive;
  };
  // Each mount takes a letter, so the next one gets the letter after it.
  const Case cases[] = {
      {L"discs\\光盘 1.iso", kPatch + L"discs\\光盘 1.iso", L"F:"},
      {L"..\\disc.iso", kPatch + L"..\\disc.iso", L"G:"},  // beside GamePatch: Windows resolves the ".."
  };
  for (const Case& c : cases) {
    Config(L"virtualDriveFile=" + c.value + L"\n");
    fake_.AddFile(c.image);
    EXPECT_TRUE(VirtualDriveFile(fake_, context_)) << WideToUtf8(c.value);
    std::wstring record = c.drive + L'\0' + L"auto detect" + L'\0' + L"disabled" + L'\0' + c.image +
                          L'\0' + L"1" + L'\0' + L'\0';
    const FakePlatform::RegValue* value =
        fake_.FindRegValue(RegRoot::kCurrentUser, kDriveManagerSettingsKey, L"LastMounts");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, win::kRegMultiSz);
    EXPECT_EQ(std::string(value->data.begin(), value->data.end()), WideToUtf16Le(record)) << WideToUtf8(c.value);
  }
}

// The first look comes before any pause; at most 40 pauses of 200 ms.
TEST_F(VirtualDriveTest, DriveWaitIsBounded) {
  struct Case {
    int upAfterPauses;
    std::uint64_t sleptMs;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 200}, Case{7, 1400}, Case{40, 8000}, Case{-1, 8000}}) {
    ManagerMachine fake;
    fake.upAfterPauses = c.upAfterPauses;
    fake.AddIni(kPatch + L"Config.ini", L"[action_first]\nvirtualDriveFile=disc.iso\n");
    fake.AddFile(kManager);
    fake.AddFile(kPatch + L"disc.iso");
    EXPECT_TRUE(VirtualDriveFile(fake, context_));
    EXPECT_EQ(fake.sleptMs(), c.sleptMs) << c.upAfterPauses;
    for (const FakeCall& sleep : fake.CallsOf(L"Sleep")) EXPECT_EQ(sleep.args[0], L"200");
    for (const FakeCall& look : fake.CallsOf(L"PathFileExistsW")) EXPECT_NE(look.args[0], L"");
    EXPECT_EQ(fake.Logs(), std::vector<std::wstring>{L"MSG: Virtual Drive Manager Load success."});
  }
}

TEST_F(VirtualDriveTest, MissingProgramOrImageStopsWithItsMessage) {
  struct Case {
    bool manager, image;
    std::wstring message;
  };
  const Case cases[] = {
      // The program is looked for first; the image is not looked at then.
      {false, false, L"MSG: Virtual Drive Manager Load false, EXE file not Exists => " + kManager + L", code=2"},
      {false, true, L"MSG: Virtual Drive Manager Load false, EXE file not Exists => " + kManager + L", code=2"},
      {true, false, L"MSG: Virtual Drive Manager Load false, ISO file not Exists => " + kPatch + L"disc.iso, code=2"},
  };
  for (const Case& c : cases) {
    ManagerMachine fake;
    fake.AddIni(kPatch + L"Config.ini", L"[action_first]\nvirtualDriveFile=disc.iso\n");
    if (c.manager) fake.AddFile(kManager);
    if (c.image) fake.AddFile(kPatch + L"disc.iso");
    EXPECT_FALSE(VirtualDriveFile(fake, context_));
    EXPECT_EQ(fake.Effects(), (std::vector<FakeCall>{{L"OutputDebugStringW", {c.message}}}));
    std::vector<FakeCall> looks = fake.CallsOf(L"PathFileExistsW");
    EXPECT_EQ(looks.size(), c.manager ? 2u : 1u);
  }
}

// An absolute path is not a name inside GamePatch: it is looked for there,
// is not found, and says so.
TEST_F(VirtualDriveTest, AbsoluteImagePathIsNotFound) {
  Config(L"virtualDriveFile=E:\\disc.iso\n");
  fake_.AddFile(L"E:\\disc.iso");
  EXPECT_FALSE(VirtualDriveFile(fake_, context_));
  EXPECT_EQ(fake_.Logs(), std::vector<std::wstring>{L"MSG: Virtual Drive Manager Load false, ISO file not Exists => " +
                                                    kPatch + L"E:\\disc.iso, code=2"});
  EXPECT_TRUE(fake_.CallsOf(L"ShellExecuteW").empty());
}

TEST_F(VirtualDriveTest, NoFreeLetterWritesNothingButStartsAndWaits) {
  for (wchar_t c = L'F'; c <= L'Z'; ++c) fake_.AddDirectory(std::wstring{c, L':', L'\\'});
  EXPECT_TRUE(VirtualDriveFile(fake_, context_));
  EXPECT_TRUE(fake_.CallsOf(L"SHSetValueW").empty());
  EXPECT_EQ(RegBytes(fake_, RegRoot::kCurrentUser, kDriveManagerSettingsKey, L"LastMounts"), L"(none)");
  EXPECT_EQ(fake_.CallsOf(L"ShellExecuteW").size(), 1u);
  EXPECT_EQ(fake_.sleptMs(), 8000u);
  EXPECT_EQ(fake_.Logs(), std::vector<std::wstring>{L"MSG: Virtual Drive Manager Load success."});
}

}  // namespace
}  // namespace kestrel
