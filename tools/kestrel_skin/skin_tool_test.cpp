#include "tools/kestrel_skin/skin_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "skin/skin_image_names.h"
#include "tests/support/gbk_test_platform.h"
#include "tests/support/png_builder.h"
#include "tests/support/zip_builder.h"
#include "text/utf.h"

namespace kestrel {
namespace {

using testing::GbkTestPlatform;
using testing::ZipBuilder;

constexpr const wchar_t* kArchive = L"C:\\Skins\\res.dat";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "picture";

/// Image i of the thirteen at a size that serves: the background 480 x 300,
/// button faces three slices high, frame pieces 12 x 12.
std::string SkinPng(int i) {
  const int sizes[13][2] = {{12, 12}, {12, 12}, {12, 12}, {12, 12},  {12, 12}, {12, 12}, {12, 12},
                            {12, 12}, {480, 300}, {200, 120}, {31, 69}, {31, 69}, {42, 69}};
  return testing::MakeSolidPng(sizes[i][0], sizes[i][1], 0x336699ff);
}
struct ToolRun {
  int code;
  std::string out, err;
};

class SkinToolTest : public ::testing::Test {
 protected:
  ToolRun Tool(std::vector<std::wstring> args) {
    std::ostringstream out, err;
    int code = RunSkinTool(os, args, out, err);
    return {code, out.str(), err.str()};
  }
  /// An archive with the thirteen names in GBK; `change` may alter entries.
  void AddSkin(void (*change)(ZipBuilder&, GbkTestPlatform&) = nullptr) {
    ZipBuilder zip;
    for (int i = 0; i < 13; ++i) zip.Add(os.WideToAnsi(kSkinImageNames[i]), SkinPng(i), 8);
    if (change) change(zip, os);
    os.AddFile(kArchive, zip.Build());
  }
  GbkTestPlatform os;
};

TEST_F(SkinToolTest, UsageErrorsExitWith2) {
  for (auto args : std::vector<std::vector<std::wstring>>{
           {}, {L"list"}, {L"extract", kArchive}, {L"check", kArchive, L"extra"}, {L"unpack", kArchive}}) {
    ToolRun r = Tool(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("usage: KestrelSkin"), std::string::npos);
  }
}

TEST_F(SkinToolTest, AnArchiveTheLauncherCannotOpenExitsWith1) {
  ToolRun missing = Tool({L"list", kArchive});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
  os.AddFile(kArchive, "plain text");
  for (const wchar_t* command : {L"list", L"check"}) {
    ToolRun r = Tool({command, kArchive});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a ZIP archive"), std::string::npos) << r.err;
  }
}

TEST_F(SkinToolTest, CheckPassesACompleteSkin) {
  AddSkin();
  ToolRun r = Tool({L"check", kArchive});
  EXPECT_EQ(r.code, 0) << r.out;
  const std::string expected[] = {
      "  ok      Skin/wnd_00.png  archive entry 0, 12 x 12\n",
      "  ok      Skin/背景.png  archive entry 8, 480 x 300\n",
      "  ok      Skin/多版本_按钮.png  archive entry 9, 200 x 120, slices 200 x 40\n",
      "  ok      Skin/关闭.png  archive entry 12, 42 x 69, slices 42 x 23\n",
      "13 of 13 skin images are usable. The chooser opens.\n",
  };
  for (const std::string& line : expected) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST_F(SkinToolTest, CheckFlagsImagesThatCannotServe) {
  struct Case {
    int entry;
    std::string data;
    int code;
    std::string line;
  };
  const Case cases[] = {
      {8, testing::MakeSolidPng(103, 300, 0xffffffff), 1,
       "UNFIT   Skin/背景.png  archive entry 8, 103 x 300\n"
       "            narrower than the 104 pixels the three system buttons need\n"},
      {9, testing::MakeSolidPng(200, 121, 0xffffffff), 1,
       "UNFIT   Skin/多版本_按钮.png  archive entry 9, 200 x 121, slices 200 x 40\n"
       "            the height is not a multiple of 3: row 120 never shows\n"},
      {10, testing::MakeSolidPng(31, 71, 0xffffffff), 0,
       "UNFIT   Skin/最小化.png  archive entry 10, 31 x 71, slices 31 x 23\n"
       "            the height is not a multiple of 3: rows 69 and 70 never show\n"},
      {9, testing::MakePngHeaderOnly(9000, 3), 1,
       "TOO BIG Skin/多版本_按钮.png\n"
       "            entry 9 (45 bytes): claims 9000 x 3 pixels, over the budget of 8192 a side and 16000000 in all\n"},
      {0, "GIF89a", 0, "BROKEN  Skin/wnd_00.png\n            entry 0 (6 bytes): not a PNG picture\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    GbkTestPlatform machine;
    ZipBuilder zip;
    for (int i = 0; i < 13; ++i)
      zip.Add(machine.WideToAnsi(kSkinImageNames[i]), i == c.entry ? c.data : SkinPng(i), 8);
    machine.AddFile(kArchive, zip.Build());
    std::ostringstream out, err;
    EXPECT_EQ(RunSkinTool(machine, {L"check", kArchive}, out, err), c.code) << out.str();
    EXPECT_NE(out.str().find(c.line), std::string::npos) << out.str();
  }
}

TEST_F(SkinToolTest, CheckTakesALooseFileWhereTheLauncherWould) {
  AddSkin([](ZipBuilder& zip, GbkTestPlatform&) { zip.entries.erase(zip.entries.begin() + 8); });
  ToolRun without = Tool({L"check", kArchive});
  EXPECT_EQ(without.code, 1);
  EXPECT_NE(without.out.find("MISSING Skin/背景.png\n"), std::string::npos) << without.out;
  EXPECT_NE(without.out.find("The chooser will not open: Skin/背景.png is not loaded.\n"), std::string::npos)
      << without.out;
  os.AddFile(kBackgroundImageName, testing::MakeSolidPng(300, 200, 0xffffffff));
  ToolRun loose = Tool({L"check", kArchive});
  EXPECT_EQ(loose.code, 0);
  EXPECT_NE(loose.out.find("  ok      Skin/背景.png  loose file, 300 x 200\n"), std::string::npos) << loose.out;
}

TEST_F(SkinToolTest, CheckPointsOutNamesTheLauncherWillNotFind) {
  AddSkin([](ZipBuilder& zip, GbkTestPlatform&) {
    zip.entries[3].name = "skin/WND_03.png";
    zip.entries[8].name = WideToUtf8(kBackgroundImageName);  // UTF-8 instead of GBK
    zip.entries[12].name = "Skin\\\xB9\xD8\xB1\xD5.png";       // Skin\关闭.png
    zip.entries[5].localSignature = 0;                          // wnd_05 is there but broken
    zip.entries[6].rawData = "not deflate data";
    zip.entries[7].data = "GIF89a";
  });
  ToolRun r = Tool({L"check", kArchive});
  EXPECT_EQ(r.code, 1);
  const std::string expected[] = {
      "MISSING Skin/wnd_03.png\n            entry 3 is stored as \"skin/WND_03.png\": the case differs",
      "MISSING Skin/背景.png\n            entry 8 is stored as \"Skin/背景.png\": its name is stored in UTF-8",
      "MISSING Skin/关闭.png\n            entry 12 is stored as \"Skin\\关闭.png\": it has \"\\\" where the launcher "
      "has \"/\"\n",
      "BROKEN  Skin/wnd_05.png\n            entry 5 cannot be read: ResultCorrupt",
      "BROKEN  Skin/wnd_06.png\n            entry 6 breaks off after 0 of ",
      "BROKEN  Skin/wnd_07.png\n            entry 7 (6 bytes): not a PNG picture",
      "ok      Skin/多版本_按钮.png",
      "7 of 13 skin images are usable. The chooser will not open: Skin/背景.png is not loaded.\n",
  };
  for (const std::string& line : expected) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST_F(SkinToolTest, ExtractGivesTheLaunchersBytes) {
  AddSkin([](ZipBuilder& zip, GbkTestPlatform&) {
    zip.entries[1].data = testing::SampleContent(3 << 19);  // more than one chunk
    zip.entries[2].centralCrc = zip.entries[2].localCrc = 7;
    zip.entries[3].rawData = testing::RawDeflate(kPng).substr(0, 4);
    zip.entries[4].localMethod = 0;
  });
  ToolRun found = Tool({L"extract", kArchive, kButtonImageName});
  EXPECT_EQ(found.code, 0);
  EXPECT_EQ(found.out, SkinPng(9));
  EXPECT_EQ(found.err, "");

  ToolRun big = Tool({L"extract", kArchive, L"Skin/wnd_01.png"});
  EXPECT_EQ(big.code, 0);
  EXPECT_TRUE(big.out == testing::SampleContent(3 << 19));

  ToolRun crc = Tool({L"extract", kArchive, L"Skin/wnd_02.png"});
  EXPECT_EQ(crc.code, 0);
  EXPECT_EQ(crc.out, SkinPng(2));
  EXPECT_NE(crc.err.find("CRC-32"), std::string::npos);

  struct Case {
    const wchar_t* name;
    const char* message;
  } failures[] = {
      {L"skin/wnd_00.png", "the launcher's lookup of \"skin/wnd_00.png\" in C:\\Skins\\res.dat fails: ResultNotFound"},
      {L"Skin/wnd_03.png", "\"Skin/wnd_03.png\" breaks off after "},
      {L"Skin/wnd_04.png", "fails: ResultCorrupt"},
  };
  for (const Case& c : failures) {
    ToolRun r = Tool({L"extract", kArchive, c.name});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST_F(SkinToolTest, ListShowsEachEntryAndWhetherTheLauncherFindsIt) {
  ZipBuilder zip;
  zip.prefix = "MZ stub";
  zip.Add("Skin/a.png", kPng, 8);
  zip.Add("Skin/\xE8\x83\x8C.png", kPng, 0);  // UTF-8 "背"
  zip.Add("Skin/a.png", kPng, 0);
  zip.Add("Skin/c.png", kPng, 12);
  zip.totalEntries = zip.entriesOnDisk = 5;  // one more than the directory holds
  os.AddFile(kArchive, zip.Build());
  ToolRun r = Tool({L"list", kArchive});
  EXPECT_EQ(r.code, 0);
  const std::string expected[] = {
      "C:\\Skins\\res.dat: 5 entries, 7 bytes in front of the archive\n",
      "     0  deflated           17            15  found                   Skin/a.png\n",
      "     2  stored             15            15  hidden by entry 0       Skin/a.png\n",
      "     3  method 12          15            15  ResultCorrupt           Skin/c.png\n",
      "(stored in UTF-8 as \"Skin/背.png\")",
      "entries 4 to 4 cannot be reached: the central directory breaks off at entry 4\n",
  };
  for (const std::string& line : expected) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

}  // namespace
}  // namespace kestrel
