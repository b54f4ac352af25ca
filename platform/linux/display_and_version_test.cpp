// The Linux platform's stored display mode, message box and file versions.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "platform/linux/linux_test_support.h"

namespace kestrel {
namespace {

class DisplayAndVersionTest : public testing::LinuxMachineTest {
 protected:
  /// The test DLL with its file version's low half set to `low`.
  static std::string DllOfVersion(std::uint32_t low) {
    std::string dll = Read(KESTREL_TESTDATA "/pe/version64.dll");
    std::size_t fixed = dll.find(std::string("\xBD\x04\xEF\xFE", 4));
    if (fixed == std::string::npos) return std::string();
    for (int i = 0; i < 4; ++i) dll[fixed + 12 + i] = static_cast<char>(low >> (8 * i));
    return dll;
  }
};

TEST_F(DisplayAndVersionTest, ColourDepthChangesAndLastsOnlyWhenStored) {
  DisplayMode mode;
  ASSERT_TRUE(os_->EnumDisplaySettingsW(win::kEnumCurrentSettings, mode));
  EXPECT_EQ(mode.bitsPerPel, 32u);
  const std::uint32_t width = mode.pelsWidth;

  // The launcher's request: depth only, everything else 0.
  DisplayMode request{16, 0, 0, 0, 0x5C0000};
  EXPECT_EQ(os_->ChangeDisplaySettingsW(&request, win::kCdsUpdateRegistry), win::kDispChangeSuccessful);
  ASSERT_TRUE(os_->EnumDisplaySettingsW(win::kEnumCurrentSettings, mode));
  EXPECT_EQ(mode.bitsPerPel, 16u);
  EXPECT_EQ(mode.pelsWidth, width);  // 0 keeps the current size
  LinuxPlatform later(MachineRoot(tmp_ + "/root"));
  ASSERT_TRUE(later.EnumDisplaySettingsW(win::kEnumCurrentSettings, mode));
  EXPECT_EQ(mode.bitsPerPel, 16u) << "stored for the next launch";

  DisplayMode eight{8, 0, 0, 0, win::kDmBitsPerPel};
  EXPECT_EQ(os_->ChangeDisplaySettingsW(&eight, 0), win::kDispChangeSuccessful);
  os_->EnumDisplaySettingsW(win::kEnumCurrentSettings, mode);
  EXPECT_EQ(mode.bitsPerPel, 8u);
  os_->EnumDisplaySettingsW(win::kEnumRegistrySettings, mode);
  EXPECT_EQ(mode.bitsPerPel, 16u) << "a change without CDS_UPDATEREGISTRY is not stored";

  DisplayMode bad{7, 0, 0, 0, win::kDmBitsPerPel};
  EXPECT_EQ(os_->ChangeDisplaySettingsW(&bad, win::kCdsUpdateRegistry), win::kDispChangeBadMode);
  DisplayMode test{24, 0, 0, 0, win::kDmBitsPerPel};
  EXPECT_EQ(os_->ChangeDisplaySettingsW(&test, win::kCdsTest), win::kDispChangeSuccessful);
  EXPECT_EQ(os_->ChangeDisplaySettingsW(&test, 0x100), win::kDispChangeBadFlags);
  os_->EnumDisplaySettingsW(win::kEnumCurrentSettings, mode);
  EXPECT_EQ(mode.bitsPerPel, 8u) << "neither a bad mode nor a test changes anything";
  EXPECT_EQ(os_->ChangeDisplaySettingsW(nullptr, 0), win::kDispChangeSuccessful);
  os_->EnumDisplaySettingsW(win::kEnumCurrentSettings, mode);
  EXPECT_EQ(mode.bitsPerPel, 16u) << "a null mode returns to the stored one";
  EXPECT_FALSE(os_->EnumDisplaySettingsW(99, mode));

  // An operator's hand-edited file with a nonsense depth keeps the default.
  Write("root/display.ini", "[Display]\nBitsPerPel=abc\nPelsWidth=1280\n");
  LinuxPlatform edited(MachineRoot(tmp_ + "/root"));
  ASSERT_TRUE(edited.EnumDisplaySettingsW(win::kEnumCurrentSettings, mode));
  EXPECT_EQ(mode.bitsPerPel, 32u);
  EXPECT_EQ(mode.pelsWidth, 1280u);
}

TEST_F(DisplayAndVersionTest, MessageBoxWithoutADisplayWritesStandardError) {
  env_.Set("DISPLAY", std::nullopt);
  env_.Set("WAYLAND_DISPLAY", std::nullopt);
  int saved = dup(2);
  int file = open(Path("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  dup2(file, 2);
  int result = os_->MessageBoxW(L"加载皮肤文件失败，请确认！", L"KestrelEx", win::kMbOk);
  dup2(saved, 2);
  close(saved);
  close(file);
  EXPECT_EQ(result, win::kIdOk);
  EXPECT_EQ(Read(Path("stderr.txt")), "KestrelEx: 加载皮肤文件失败，请确认！\n");
}

TEST_F(DisplayAndVersionTest, FileVersionOfARealDll) {
  std::string dll = Read(KESTREL_TESTDATA "/pe/version64.dll");
  ASSERT_FALSE(dll.empty());
  MakeDir("Sys");
  Write("Sys/msvcr100.dll", dll);
  std::wstring file = Win("SYS/MSVCR100.DLL");
  std::uint32_t size = os_->GetFileVersionInfoSizeW(file);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(os_->GetFileVersionInfoW(file, size, block));
  FixedFileInfo info;
  ASSERT_TRUE(os_->VerQueryValueW(block, L"\\", info));
  EXPECT_EQ(info.fileVersionMS, 10u << 16);
  EXPECT_EQ(info.fileVersionLS, (40219u << 16) | 1u);
  EXPECT_FALSE(os_->VerQueryValueW(block, L"\\StringFileInfo\\040904b0\\FileVersion", info));

  Write("Sys/readme.txt", "MZ but nothing else");
  Write("Sys/empty.dll", "");
  struct Case {
    std::wstring file;
    std::uint32_t error;
  };
  const Case cases[] = {
      {Win("Sys/missing.dll"), win::kFileNotFound},
      {Win("Sys/readme.txt"), win::kBadFormat},
      {Win("Sys/empty.dll"), win::kBadFormat},
      {Win("Sys"), win::kAccessDenied},
      {L"Q:\\x.dll", win::kPathNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(os_->GetFileVersionInfoSizeW(c.file), 0u) << WideToUtf8(c.file);
    EXPECT_EQ(os_->GetLastError(), c.error) << WideToUtf8(c.file);
  }
}

TEST_F(DisplayAndVersionTest, DataCallNeverGetsAnotherFilesOrAnOlderBlock) {
  const std::string v1 = DllOfVersion(1), v2 = DllOfVersion(2);
  ASSERT_FALSE(v1.empty());
  MakeDir("Sys");
  auto setModified = [&](const std::string& relative, timespec when) {
    timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, Path(relative).c_str(), times, 0), 0);
  };
  auto rewriteInPlace = [&](const std::string& bytes) {
    int fd = open(Path("Sys/a.dll").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    close(fd);
  };
  struct Case {
    const char* what;
    std::function<void(timespec before)> change;
    std::wstring dataFile;
    std::uint32_t low;  // 0: the data call fails
  };
  const Case cases[] = {
      {"unchanged", [](timespec) {}, Win("Sys/a.dll"), 1},
      {"another file", [](timespec) {}, Win("Sys/b.dll"), 2},
      {"replaced through a rename, same size and time",
       [&](timespec before) {
         Write("Sys/new.dll", v2);
         setModified("Sys/new.dll", before);
         ASSERT_EQ(rename(Path("Sys/new.dll").c_str(), Path("Sys/a.dll").c_str()), 0);
       },
       Win("Sys/a.dll"), 2},
      {"rewritten in place a nanosecond later",
       [&](timespec before) {
         rewriteInPlace(v2);
         before.tv_nsec = (before.tv_nsec + 1) % 1000000000;
         setModified("Sys/a.dll", before);
       },
       Win("Sys/a.dll"), 2},
      {"grown in place, same time",
       [&](timespec before) {
         rewriteInPlace(v2 + "tail");
         setModified("Sys/a.dll", before);
       },
       Win("Sys/a.dll"), 2},
      {"removed", [&](timespec) { unlink(Path("Sys/a.dll").c_str()); }, Win("Sys/a.dll"), 0},
  };
  for (const Case& c : cases) {
    Write("Sys/a.dll", v1);
    Write("Sys/b.dll", v2);
    struct stat st;
    ASSERT_EQ(stat(Path("Sys/a.dll").c_str(), &st), 0);
    std::uint32_t size = os_->GetFileVersionInfoSizeW(Win("Sys/a.dll"));
    ASSERT_GT(size, 0u) << c.what;
    c.change(st.st_mtim);
    std::vector<std::uint8_t> block;
    FixedFileInfo info;
    if (c.low == 0) {
      EXPECT_FALSE(os_->GetFileVersionInfoW(c.dataFile, size, block)) << c.what;
      EXPECT_EQ(os_->GetLastError(), win::kFileNotFound) << c.what;
      continue;
    }
    ASSERT_TRUE(os_->GetFileVersionInfoW(c.dataFile, size, block)) << c.what;
    ASSERT_TRUE(os_->VerQueryValueW(block, L"\\", info)) << c.what;
    EXPECT_EQ(info.fileVersionLS, c.low) << c.what;
  }
}

}  // namespace
}  // namespace kestrel
