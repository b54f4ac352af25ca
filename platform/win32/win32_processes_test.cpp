// Program start, waiting, the process snapshot and termination, and file
// versions on the real system (Wine here).  Every process a test ends is
// one it started itself under a name of its own.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/model/version_resource.h"
#include "platform/win32/win32_platform.h"
#include "text/utf.h"

namespace kestrel {
namespace {

constexpr std::uint32_t kCreateSuspended = 0x4;

class Win32ProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unique_ = L"kx-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
    dir_ = std::filesystem::temp_directory_path() / unique_;
    std::filesystem::create_directories(dir_);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    program_ = dir_ / (unique_ + L".exe");
    std::filesystem::copy_file(std::filesystem::path(self).parent_path() / L"kestrel_recorder.exe", program_);
    record_ = dir_ / L"record.txt";
    ::SetEnvironmentVariableW(L"KESTREL_RECORD", record_.c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"KESTREL_RECORD", nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Record() const {
    std::ifstream in(record_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  /// The exit code of a process the test started, read from Windows
  /// itself: the launcher never reads one.
  static std::uint32_t ExitCode(Handle process) {
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code));
    return code;
  }
  /// The ids of running processes with this test's program name.
  std::vector<std::uint32_t> Running() {
    std::vector<std::uint32_t> ids;
    Handle snapshot = os_.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
    EXPECT_NE(snapshot, kInvalidHandleValue);
    ProcessEntry entry;
    for (bool more = os_.Process32FirstW(snapshot, entry); more; more = os_.Process32NextW(snapshot, entry))
      if (_wcsicmp(entry.exeFile.c_str(), program_.filename().c_str()) == 0) ids.push_back(entry.processId);
    EXPECT_EQ(os_.GetLastError(), win::kNoMoreFiles);
    os_.CloseHandle(snapshot);
    return ids;
  }

  std::wstring unique_;
  std::filesystem::path dir_, program_, record_;
  Win32Platform os_;
};

TEST_F(Win32ProcessesTest, CreateProcessRunsTheCommandLineInTheDirectoryAndIsWaitedFor) {
  Handle process = kNoHandle;
  ASSERT_TRUE(os_.CreateProcessW(L"\"" + program_.wstring() + L"\" --fail \"b c\" d", win::kNormalPriorityClass,
                                 win::kSwShowNormal, dir_.wstring(), &process));
  ASSERT_NE(process, kNoHandle);
  EXPECT_EQ(os_.WaitForSingleObject(process, win::kInfinite), win::kWaitObject0);
  EXPECT_EQ(ExitCode(process), 3u);
  EXPECT_TRUE(os_.CloseHandle(process));
  EXPECT_EQ(Record(), "program=" + WideToUtf8(program_.filename().wstring()) + "\narg=--fail\narg=b c\narg=d\ncwd=" +
                          WideToUtf8(dir_.wstring()) + "\ndone\n");

  EXPECT_FALSE(os_.CreateProcessW(L"\"" + (dir_ / L"none.exe").wstring() + L"\"", win::kNormalPriorityClass,
                                  win::kSwShowNormal, L"", &process));
  EXPECT_EQ(os_.GetLastError(), win::kFileNotFound);
  EXPECT_EQ(process, kNoHandle);
}

TEST_F(Win32ProcessesTest, ShellExecuteExHandsBackAProcessToWaitOn) {
  Handle process = kNoHandle;
  ASSERT_TRUE(os_.ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"open", program_.wstring(), L"-x", dir_.wstring(),
                                  win::kSwShowNormal, &process));
  ASSERT_NE(process, kNoHandle);
  EXPECT_EQ(os_.WaitForSingleObject(process, win::kInfinite), win::kWaitObject0);
  EXPECT_EQ(ExitCode(process), 0u);
  os_.CloseHandle(process);
  EXPECT_NE(Record().find("arg=-x\n"), std::string::npos);
}

TEST_F(Win32ProcessesTest, TheSnapshotFindsOwnProcessesAndTerminationEndsExactlyOne) {
  // Held suspended, the two copies live until the test ends them.
  Handle first = kNoHandle, second = kNoHandle;
  ASSERT_TRUE(os_.CreateProcessW(L"\"" + program_.wstring() + L"\"", kCreateSuspended, win::kSwShow, L"", &first));
  ASSERT_TRUE(os_.CreateProcessW(L"\"" + program_.wstring() + L"\"", kCreateSuspended, win::kSwShow, L"", &second));
  std::vector<std::uint32_t> ids = Running();
  ASSERT_EQ(ids.size(), 2u);

  Handle victim = os_.OpenProcess(win::kProcessTerminate, false, ids[0]);
  ASSERT_NE(victim, kNoHandle);
  EXPECT_TRUE(os_.TerminateProcess(victim, 9));
  os_.WaitForSingleObject(victim, win::kInfinite);
  os_.CloseHandle(victim);
  EXPECT_EQ(Running().size(), 1u);

  for (Handle h : {first, second}) {
    std::uint32_t code = ExitCode(h);
    if (code == STILL_ACTIVE) {
      os_.TerminateProcess(h, 0);
      os_.WaitForSingleObject(h, win::kInfinite);
    } else {
      EXPECT_EQ(code, 9u);
    }
    os_.CloseHandle(h);
  }
  EXPECT_TRUE(Running().empty());
}

TEST_F(Win32ProcessesTest, FileVersionsReadAsTheMachineModelReadsThem) {
  const std::wstring dll = Utf8ToWide(KESTREL_TESTDATA "/pe/version64.dll");
  std::uint32_t size = os_.GetFileVersionInfoSizeW(dll);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(os_.GetFileVersionInfoW(dll, size, block));
  FixedFileInfo windows;
  ASSERT_TRUE(os_.VerQueryValueW(block, L"\\", windows));
  EXPECT_EQ(windows.fileVersionMS, (10u << 16) | 0u);
  EXPECT_EQ(windows.fileVersionLS, (40219u << 16) | 1u);
  EXPECT_FALSE(os_.VerQueryValueW(block, L"\\StringFileInfo", windows));

  std::ifstream in(std::filesystem::path(dll), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint8_t> resource;
  std::uint32_t error = 0;
  ASSERT_TRUE(ReadVersionResource(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                                  resource, error));
  FixedFileInfo model;
  ASSERT_TRUE(ParseFixedFileInfo(resource, model));
  EXPECT_EQ(std::memcmp(&model, &windows, sizeof model), 0);

  EXPECT_EQ(os_.GetFileVersionInfoSizeW((dir_ / L"none.dll").wstring()), 0u);
  EXPECT_EQ(os_.GetLastError(), win::kFileNotFound);
}

TEST_F(Win32ProcessesTest, TheCurrentDisplayModeCanBeSetAgain) {
  DisplayMode mode;
  if (!os_.EnumDisplaySettingsW(win::kEnumCurrentSettings, mode)) GTEST_SKIP() << "no display here";
  EXPECT_GT(mode.bitsPerPel, 0u);
  EXPECT_EQ(os_.ChangeDisplaySettingsW(&mode, win::kCdsTest), win::kDispChangeSuccessful);
}

}  // namespace
}  // namespace kestrel
