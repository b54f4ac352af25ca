// The Win32 platform against the real system (under Wine on the build
// machine): temporary files, a registry key of its own, uniquely named
// mutexes.

#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/utf.h"

namespace kestrel {
namespace {

std::wstring UniqueName(const wchar_t* stem) {
  static std::atomic<int> counter{0};
  return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / UniqueName(L"kestrel-w32");
    std::filesystem::create_directories(dir_);
    os_.InitializeFramework();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::wstring Path(const std::wstring& name) const { return (dir_ / name).wstring(); }
  void Write(const std::wstring& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::wstring& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
  Win32Platform os_;
};

TEST_F(Win32PlatformTest, ProfileReadsCutToTheBufferAndFallBackToTheDefault) {
  Write(L"Config.ini", "\xFF\xFE" + WideToUtf16Le(L"[Game_Base]\r\nMainExe=游戏.exe\r\nparam=\"-w\"\r\nn=42abc\r\n"
                                                   L"long=" + std::wstring(300, L'x') + L"\r\n"));
  const std::wstring file = Path(L"config.INI");
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    std::uint32_t buffer;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"game_base", L"mainexe", 260, L"游戏.exe"},
      {L"GAME_BASE", L"param", 260, L"-w"},
      {L"game_base", L"long", 260, std::wstring(259, L'x')},
      {L"game_base", L"long", 5, L"xxxx"},
      {L"game_base", L"missing", 260, L"dflt"},
      {L"other", L"mainExe", 260, L"dflt"},
      {L"game_base", L"mainExe", 0, L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(os_.GetPrivateProfileStringW(c.section, c.key, L"dflt", c.buffer, file), c.expected)
        << WideToUtf8(c.key) << " in " << c.buffer;
  EXPECT_EQ(os_.GetPrivateProfileStringW(L"game_base", L"mainExe", L"dflt", 260, Path(L"none.ini")), L"dflt");
  EXPECT_EQ(os_.GetPrivateProfileIntW(L"game_base", L"n", 7, file), 42);
  EXPECT_EQ(os_.GetPrivateProfileIntW(L"game_base", L"missing", 7, file), 7);
  EXPECT_EQ(os_.GetPrivateProfileIntW(L"game_base", L"n", 7, Path(L"none.ini")), 7);
}

TEST_F(Win32PlatformTest, FilesAreReadWholeAndMissingOnesSetTheLastError) {
  const std::string bytes("a\0b\xFF\r\n", 6);
  Write(L"data.bin", bytes);
  std::string read = "stale";
  EXPECT_TRUE(os_.ReadFileBytes(Path(L"DATA.bin"), read));
  EXPECT_EQ(read, bytes);
  EXPECT_TRUE(os_.PathFileExistsW(Path(L"data.bin")));
  EXPECT_TRUE(os_.PathFileExistsW(dir_.wstring()));

  read = "kept";
  EXPECT_FALSE(os_.ReadFileBytes(Path(L"none.bin"), read));
  EXPECT_EQ(os_.GetLastError(), win::kFileNotFound);
  EXPECT_EQ(read, "kept");
  EXPECT_FALSE(os_.ReadFileBytes(Path(L"nodir\\none.bin"), read));
  EXPECT_EQ(os_.GetLastError(), win::kPathNotFound);
  EXPECT_FALSE(os_.PathFileExistsW(Path(L"none.bin")));
}

TEST_F(Win32PlatformTest, FailedStartsShowInTheLastError) {
  struct Case {
    std::wstring file;
    std::uint32_t error;
  };
  const Case cases[] = {
      {Path(L"none.exe"), win::kFileNotFound},
      {Path(L"nodir\\none.exe"), win::kPathNotFound},
  };
  for (const Case& c : cases) {
    os_.SetLastError(0);
    std::intptr_t result = os_.ShellExecuteW(L"open", c.file, L"", dir_.wstring(), win::kSwShowNormal);
    EXPECT_LE(result, 32) << WideToUtf8(c.file);
    EXPECT_EQ(os_.GetLastError(), c.error) << WideToUtf8(c.file);
  }
}

TEST_F(Win32PlatformTest, ASecondMutexOfTheSameNameReportsThatItExists) {
  const std::wstring name = UniqueName(L"KestrelExTest");
  Handle first = os_.CreateMutexW(name, true);
  ASSERT_NE(first, kNoHandle);
  EXPECT_EQ(os_.GetLastError(), win::kSuccess);
  Handle second = os_.CreateMutexW(name, true);
  EXPECT_NE(second, kNoHandle);
  EXPECT_EQ(os_.GetLastError(), win::kAlreadyExists);
  ::CloseHandle(reinterpret_cast<HANDLE>(second));
  ::CloseHandle(reinterpret_cast<HANDLE>(first));
  // Once every handle is closed the name is free again.
  Handle third = os_.CreateMutexW(name, false);
  EXPECT_EQ(os_.GetLastError(), win::kSuccess);
  ::CloseHandle(reinterpret_cast<HANDLE>(third));
}

TEST_F(Win32PlatformTest, AThreadRunsToItsEndBeforeTheWaitReturns) {
  std::atomic<int> ran{0};
  std::atomic<DWORD> threadId{0};
  Handle thread = os_.BeginThread([&] {
    os_.Sleep(50);
    threadId = ::GetCurrentThreadId();
    ran = 1;
  });
  ASSERT_NE(thread, kNoHandle);
  EXPECT_EQ(os_.WaitForSingleObject(thread, win::kInfinite), win::kWaitObject0);
  EXPECT_EQ(ran.load(), 1);
  EXPECT_NE(threadId.load(), ::GetCurrentThreadId());
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));
}

// A file is read whole only up to the limit: a 32-bit launcher could not
// hold a file of gigabytes, and no file it reads is meant to be that big.
TEST_F(Win32PlatformTest, WholeFileReadsStopAtTheLimit) {
  auto sized = [&](const wchar_t* name, std::uint64_t size) {
    HANDLE file = ::CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    bool ok = file != INVALID_HANDLE_VALUE && ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return ok;
  };
  ASSERT_TRUE(sized(L"huge.cfg", kMaxWholeFileBytes + 1));
  ASSERT_TRUE(sized(L"limit.cfg", kMaxWholeFileBytes));
  std::string bytes = "old";
  EXPECT_FALSE(os_.ReadFileBytes(Path(L"huge.cfg"), bytes));
  EXPECT_EQ(os_.GetLastError(), 223u);  // ERROR_FILE_TOO_LARGE
  EXPECT_EQ(bytes, "old");
  EXPECT_TRUE(os_.ReadFileBytes(Path(L"limit.cfg"), bytes));
  EXPECT_EQ(bytes.size(), kMaxWholeFileBytes);
}

TEST_F(Win32PlatformTest, ANewThreadEntersASingleThreadedApartment) {
  // The worker's apartment is fixed by its first initialisation: a second,
  // of another model, fails, and the thread's own apartment is the one
  // asked for.
  std::atomic<int> first{-1}, again{-1}, other{-1};
  std::atomic<APTTYPE> type{APTTYPE_MTA};
  Handle thread = os_.BeginThread([&] {
    first = os_.CoInitializeEx(win::kCoInitApartmentThreaded | win::kCoInitDisableOle1Dde);
    again = os_.CoInitializeEx(win::kCoInitApartmentThreaded);
    other = os_.CoInitializeEx(COINIT_MULTITHREADED);
    APTTYPE apartment{};
    APTTYPEQUALIFIER qualifier{};
    if (SUCCEEDED(::CoGetApartmentType(&apartment, &qualifier))) type = apartment;
    os_.CoUninitialize();
    os_.CoUninitialize();
  });
  ASSERT_NE(thread, kNoHandle);
  os_.WaitForSingleObject(thread, win::kInfinite);
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));
  EXPECT_EQ(first.load(), 1);
  EXPECT_EQ(again.load(), 1);
  EXPECT_EQ(other.load(), 0);
  EXPECT_EQ(type.load(), APTTYPE_STA);
}

TEST_F(Win32PlatformTest, RegistryValuesRoundTrip) {
  const std::wstring key = L"Software\\KestrelExTests\\" + UniqueName(L"run");
  const std::string text = WideToUtf16Le(std::wstring(L"X:\\游戏\0", 7));
  const std::uint8_t dword[4] = {0x2A, 0, 0, 0};
  ASSERT_EQ(os_.SHSetValueW(RegRoot::kCurrentUser, key, L"Path", win::kRegSz,
                            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())),
            win::kSuccess);
  ASSERT_EQ(os_.SHSetValueW(RegRoot::kCurrentUser, key, L"Count", win::kRegDword, dword), win::kSuccess);

  std::uint8_t buffer[64] = {};
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(os_.SHGetValueW(RegRoot::kCurrentUser, key, L"PATH", &type, buffer, &size), win::kSuccess);
  EXPECT_EQ(type, win::kRegSz);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), text);
  EXPECT_EQ(os_.SHGetValueW(RegRoot::kCurrentUser, key, L"count", &type, buffer, &size), win::kSuccess);
  EXPECT_EQ(type, win::kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer[0], 0x2A);
  // Too small a buffer gives the size needed.
  EXPECT_EQ(os_.SHGetValueW(RegRoot::kCurrentUser, key, L"Path", &type, std::span(buffer, 2), &size), win::kMoreData);
  EXPECT_EQ(size, text.size());
  EXPECT_EQ(os_.SHGetValueW(RegRoot::kCurrentUser, key, L"none", &type, buffer, &size), win::kFileNotFound);
  EXPECT_EQ(os_.SHGetValueW(RegRoot::kCurrentUser, key + L"\\none", L"Path", &type, buffer, &size),
            win::kFileNotFound);

  Handle opened = kNoHandle;
  ASSERT_EQ(os_.RegOpenKeyExW(RegRoot::kCurrentUser, key, win::kKeyRead, &opened), win::kSuccess);
  EXPECT_EQ(os_.RegCloseKey(opened), win::kSuccess);
  EXPECT_EQ(os_.RegOpenKeyExW(RegRoot::kCurrentUser, key + L"\\none", win::kKeyRead, &opened), win::kFileNotFound);
  EXPECT_EQ(opened, kNoHandle);
  ::SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KestrelExTests");
}

TEST_F(Win32PlatformTest, KnownFoldersExistAndUnknownOnesAreEmpty) {
  std::wstring appData = os_.SHGetSpecialFolderPathW(CSIDL_APPDATA);
  EXPECT_FALSE(appData.empty());
  EXPECT_TRUE(os_.PathFileExistsW(appData)) << WideToUtf8(appData);
  EXPECT_EQ(os_.SHGetSpecialFolderPathW(0x7E), L"");
}

TEST_F(Win32PlatformTest, DebugMessagesGoToTheLogFileAsUtf8LinesAndKeepTheLastError) {
  const std::wstring log = Path(L"kestrel.log");
  ASSERT_TRUE(::SetEnvironmentVariableW(L"KESTREL_LOG", log.c_str()));
  os_.SetLastError(1234);
  os_.OutputDebugStringW(L"MSG: first, code=0");
  os_.OutputDebugStringW(L"MSG: 游戏 second");
  EXPECT_EQ(os_.GetLastError(), 1234u);
  ::SetEnvironmentVariableW(L"KESTREL_LOG", nullptr);
  os_.OutputDebugStringW(L"MSG: not in the file");
  EXPECT_EQ(Read(L"kestrel.log"), "MSG: first, code=0\n" + WideToUtf8(L"MSG: 游戏 second") + "\n");
}

TEST_F(Win32PlatformTest, AnsiTextRoundTripsThroughTheCodePage) {
  EXPECT_EQ(os_.WideToAnsi(L""), "");
  EXPECT_EQ(os_.AnsiToWide(""), L"");
  EXPECT_EQ(os_.AnsiToWide(os_.WideToAnsi(L"Skin/wnd_00.png")), L"Skin/wnd_00.png");
  // The café machines run the Chinese code page (the tests run with it).
  if (::GetACP() == 936) {
    EXPECT_EQ(os_.WideToAnsi(L"游戏"), "\xD3\xCE\xCF\xB7");
    EXPECT_EQ(os_.AnsiToWide("\xD3\xCE\xCF\xB7"), L"游戏");
  }
}

TEST_F(Win32PlatformTest, TheProgramKnowsItsOwnNameAndCommandLine) {
  std::wstring module = os_.GetModuleFileNameW();
  EXPECT_TRUE(module.ends_with(L"kestrel_tests.exe")) << WideToUtf8(module);
  EXPECT_NE(os_.GetCommandLineW().find(L"kestrel_tests"), std::wstring::npos);
  EXPECT_EQ(os_.NativePathToWindows(L"C:\\Games\\Foo"), L"C:\\Games\\Foo");
}

}  // namespace
}  // namespace kestrel
