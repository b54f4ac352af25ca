#include "actions/personalization.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace kestrel {
namespace {

class PersonalizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.baseDir = L"D:\\Games\\Foo";
    fake.SetKnownFolder(26, L"C:\\Users\\p\\AppData\\Roaming");
    fake.SetKnownFolder(20, L"C:\\Windows\\Fonts");
    fake.SetKnownFolder(2, L"C:\\Users\\p\\Start Menu\\Programs");
    fake.SetKnownFolder(5, L"C:\\Users\\p\\Documents");
    for (const wchar_t* dir : {L"C:\\Users\\p\\AppData\\Roaming", L"C:\\Windows\\Fonts",
                               L"C:\\Users\\p\\Start Menu\\Programs", L"C:\\Users\\p\\Documents"})
      fake.AddDirectory(dir);
  }
  void Ship(const std::wstring& relative, std::string bytes) {
    fake.AddFile(L"D:\\Games\\Foo\\GamePatch\\" + relative, std::move(bytes));
  }
  FakePlatform fake;
  LaunchContext context;
};

TEST_F(PersonalizationTest, CopiesInAscendingOrderOfId) {
  Ship(L"CSIDL_FONTS\\a.ttf", "font");
  Ship(L"CSIDL_APPDATA\\Vendor\\s.cfg", "cfg");
  Ship(L"csidl_programs\\Foo.lnk", "lnk");
  Ship(L"CSIDL_BITBUCKET\\x", "ignored");
  fake.ClearRecord();
  EXPECT_TRUE(CopyPersonalization(fake, context));
  const std::wstring gp = L"D:\\Games\\Foo\\GamePatch\\";
  EXPECT_EQ(fake.Logs(), (std::vector<std::wstring>{
                             L"MSG: DIR_SOURCE = " + gp + L"CSIDL_PROGRAMS",
                             L"MSG: DIR_TARGETDIR = C:\\Users\\p\\Start Menu\\Programs",
                             L"MSG: Copy succeed, " + gp + L"CSIDL_PROGRAMS => C:\\Users\\p\\Start Menu\\Programs, code=0",
                             L"MSG: DIR_SOURCE = " + gp + L"CSIDL_FONTS",
                             L"MSG: DIR_TARGETDIR = C:\\Windows\\Fonts",
                             L"MSG: Copy succeed, " + gp + L"CSIDL_FONTS => C:\\Windows\\Fonts, code=0",
                             L"MSG: DIR_SOURCE = " + gp + L"CSIDL_APPDATA",
                             L"MSG: DIR_TARGETDIR = C:\\Users\\p\\AppData\\Roaming",
                             L"MSG: Copy succeed, " + gp + L"CSIDL_APPDATA => C:\\Users\\p\\AppData\\Roaming, code=0",
                         }));
  EXPECT_EQ(*fake.FileBytes(L"C:\\Windows\\Fonts\\a.ttf"), "font");
  EXPECT_EQ(*fake.FileBytes(L"C:\\Users\\p\\AppData\\Roaming\\Vendor\\s.cfg"), "cfg");
  EXPECT_EQ(*fake.FileBytes(L"C:\\Users\\p\\Start Menu\\Programs\\Foo.lnk"), "lnk");
}

TEST_F(PersonalizationTest, TheFirstNameOfAnIdWinsAndOverwriteDecidesExistingFiles) {
  Ship(L"CSIDL_PERSONAL\\doc.txt", "personal");
  Ship(L"CSIDL_MYDOCUMENTS\\doc.txt", "mydocs");
  struct Case {
    std::wstring config;
    const char* after;
  };
  const Case cases[] = {{L"", "old"}, {L"[personalization]\noverwrite=0\n", "old"},
                        {L"[personalization]\noverwrite=1\n", "mydocs"}};
  for (const Case& c : cases) {
    fake.AddIni(L"D:\\Games\\Foo\\GamePatch\\Config.ini", c.config);
    fake.AddFile(L"C:\\Users\\p\\Documents\\doc.txt", "old");
    fake.ClearRecord();
    CopyPersonalization(fake, context);
    EXPECT_EQ(*fake.FileBytes(L"C:\\Users\\p\\Documents\\doc.txt"), c.after) << c.config;
    EXPECT_EQ(fake.Logs().size(), 3u);
  }
}

TEST_F(PersonalizationTest, AFolderWithoutPathOnThisPcIsPassedOver) {
  Ship(L"CSIDL_PROGRAM_FILESX86\\tool.exe", "x86");
  fake.AddDirectory(L"C:\\");
  fake.ClearRecord();
  EXPECT_TRUE(CopyPersonalization(fake, context));
  EXPECT_TRUE(fake.CallsOf(L"CopyFileW").empty());
  EXPECT_TRUE(fake.CallsOf(L"CreateDirectoryW").empty());
  EXPECT_EQ(fake.Logs().back(),
            L"MSG: Copy passed over, D:\\Games\\Foo\\GamePatch\\CSIDL_PROGRAM_FILESX86 has no special folder 42 on this PC");

  FakePlatform bare;
  bare.ClearRecord();
  EXPECT_TRUE(CopyPersonalization(bare, context));
  EXPECT_TRUE(bare.Logs().empty());
}

}  // namespace
}  // namespace kestrel
