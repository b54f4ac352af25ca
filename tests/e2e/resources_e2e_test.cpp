// The resources of the shipped KestrelEx.exe, read the way Windows reads
// them: the manifest, the application icon, the chooser's window template
// and the version information (KestrelSkin.exe's and KestrelCheck.exe's
// too).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "kestrel_version.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = Utf8ToWide(KESTREL_EXE);
    module_ = ::LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot open " << KESTREL_EXE;
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  /// The bytes of one resource, or empty.
  std::string Resource(const wchar_t* type, const wchar_t* name) const {
    HRSRC found = ::FindResourceW(module_, name, type);
    if (!found) return std::string();
    HGLOBAL loaded = ::LoadResource(module_, found);
    const char* data = static_cast<const char*>(::LockResource(loaded));
    return data ? std::string(data, ::SizeofResource(module_, found)) : std::string();
  }

  std::wstring exe_;
  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, ManifestAsksForNoElevationAndCommonControls6) {
  std::string manifest = Resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));  // RT_MANIFEST, the process's own
  ASSERT_FALSE(manifest.empty());
  // The program's own identity names the processor it is built for (the
  // test program is built for the same one).
  const char* own = sizeof(void*) == 4 ? "name=\"KestrelEx\" version=\"1.0.0.0\" processorArchitecture=\"x86\""
                                       : "name=\"KestrelEx\" version=\"1.0.0.0\" processorArchitecture=\"amd64\"";
  EXPECT_NE(manifest.find(own), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

TEST_F(ResourcesTest, IconGroup128HoldsTheUsualSizes) {
  std::string group = Resource(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(128));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  bool has16 = false, has32 = false;
  for (WORD i = 0; i < count; ++i) {
    unsigned width = static_cast<unsigned char>(group[6 + 14 * i]);
    has16 |= width == 16;
    has32 |= width == 32;
  }
  EXPECT_TRUE(has16 && has32);
  HICON icon = static_cast<HICON>(::LoadImageW(module_, MAKEINTRESOURCEW(128), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) ::DestroyIcon(icon);
}

TEST_F(ResourcesTest, DialogTemplate102IsTheBorderlessChooser) {
  std::string dialog = Resource(MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(102));  // RT_DIALOG
  ASSERT_GE(dialog.size(), 26u);
  auto word = [&](std::size_t at) {
    WORD w = 0;
    std::memcpy(&w, dialog.data() + at, 2);
    return w;
  };
  auto dword = [&](std::size_t at) {
    DWORD d = 0;
    std::memcpy(&d, dialog.data() + at, 4);
    return d;
  };
  // DLGTEMPLATEEX: version, signature, help id, extended style, style,
  // item count, x, y, cx, cy, then menu, class, title and font.
  EXPECT_EQ(word(0), 1);
  EXPECT_EQ(word(2), 0xFFFF);
  EXPECT_EQ(dword(8), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(dword(12), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS));
  EXPECT_EQ(word(16), 0) << "the chooser's buttons are made at run time";
  EXPECT_EQ(word(22), 320);
  EXPECT_EQ(word(24), 200);
  EXPECT_EQ(word(26), 0) << "no menu";
  EXPECT_EQ(word(28), 0) << "the standard dialog class";
  EXPECT_EQ(word(30), 0) << "an empty title";
  EXPECT_EQ(word(32), 9) << "9 points";
  std::wstring face(reinterpret_cast<const wchar_t*>(dialog.data() + 38));
  EXPECT_EQ(face, L"MS Shell Dlg");
}

TEST(VersionResource, EachProgramCarriesTheBuildsVersion) {
  const std::string version = std::string(kKestrelVersion) + ".0";
  for (const std::string& program :
       {std::string(KESTREL_EXE), ProgramBesideTests("KestrelSkin"), ProgramBesideTests("KestrelCheck")}) {
    SCOPED_TRACE(program);
    const std::wstring exe = Utf8ToWide(program);
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string info(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                  "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionLS)),
              version);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    for (const auto& [key, expected] : {std::pair<const wchar_t*, std::string>{L"OriginalFilename", ""},
                                        {L"FileVersion", version}, {L"ProductVersion", version}}) {
      wchar_t* text = nullptr;
      ASSERT_TRUE(::VerQueryValueW(info.data(), (std::wstring(L"\\StringFileInfo\\040904b0\\") + key).c_str(),
                                   reinterpret_cast<void**>(&text), &length));
      const std::string value = WideToUtf8(text);
      if (expected.empty()) {
        EXPECT_EQ(value, program.substr(program.find_last_of("/\\") + 1));
      } else {
        EXPECT_EQ(value, expected) << WideToUtf8(key);
      }
    }
  }
}

}  // namespace
}  // namespace kestrel::e2e
