#include <gtest/gtest.h>

#include "check/lint/lint_test_support.h"
#include "skin/skin_image_names.h"
#include "tests/support/gbk_test_platform.h"
#include "tests/support/png_builder.h"
#include "tests/support/zip_builder.h"

namespace kestrel::check {
namespace {

using lint_test::kPatch;
using lint_test::LintIni;
using lint_test::Of;

const std::wstring kChooser = L"[dlg_config]\nbtnCount=1\nbtn1Caption=One\n";

/// The thirteen images under their GBK names; `change` may alter an entry.
std::string Archive(kestrel::testing::GbkTestPlatform& os,
                    const std::function<void(int, kestrel::testing::ZipBuilderEntry&)>& change = {}) {
  kestrel::testing::ZipBuilder zip;
  for (int i = 0; i < 13; ++i) {
    auto& entry = zip.Add(os.WideToAnsi(kSkinImageNames[i]), kestrel::testing::MakeSolidPng(12, 9, 0x336699ff));
    if (change) change(i, entry);
  }
  return zip.Build();
}

TEST(SkinRules, ACompleteSkinHasNoFindings) {
  kestrel::testing::GbkTestPlatform os;
  os.AddFile(kPatch + L"res.dat", Archive(os));
  const Findings findings = LintIni(os, kChooser);
  EXPECT_TRUE(Of(findings, "skin-name").empty());
  EXPECT_TRUE(Of(findings, "skin-image").empty());
  EXPECT_TRUE(Of(findings, "missing-file").empty());
}

TEST(SkinRules, NamesTheLookupMissesAndImagesThatDoNotDecode) {
  kestrel::testing::GbkTestPlatform os;
  os.AddFile(kPatch + L"res.dat", Archive(os, [](int i, kestrel::testing::ZipBuilderEntry& entry) {
               if (i == 0) entry.name = "SKIN/WND_00.PNG";
               if (i == 1) entry.name = "Skin\\wnd_01.png";
               if (i == 2) entry.name = "Skin/elsewhere.png";
               if (i == 8) entry.name = "Skin/\xE8\x83\x8C\xE6\x99\xAF.png";  // 背景 in UTF-8
               if (i == 9) entry.data = "not a picture";
             }));
  const Findings findings = LintIni(os, kChooser);
  EXPECT_EQ(
      Of(findings, "skin-name"),
      (std::vector<std::string>{
          "W 0: Skin/wnd_00.png is not found: entry 0 is stored as \"SKIN/WND_00.PNG\": the case differs (the "
          "launcher matches names exactly); that piece of the frame is left out",
          "W 0: Skin/wnd_01.png is not found: entry 1 is stored as \"Skin\\wnd_01.png\": it has \"\\\" where the "
          "launcher has \"/\"; that piece of the frame is left out",
          "E 0: Skin/背景.png is not found: entry 8 is stored as \"Skin/背景.png\": its name is stored in UTF-8, "
          "but the launcher looks names up in the ANSI code page; the launcher shows \"加载皮肤文件失败，请确认！\" "
          "and starts the game without the chooser"}));
  EXPECT_EQ(Of(findings, "skin-image"),
            (std::vector<std::string>{
                "E 0: Skin/多版本_按钮.png (entry 9) not a PNG picture: the launcher shows "
                "\"加载皮肤文件失败，请确认！\" and "
                "starts the game without the chooser, unless a loose file of that name decodes in the launcher's "
                "folder"}));
  EXPECT_EQ(
      Of(findings, "missing-file"),
      (std::vector<std::string>{"W 0: Skin/wnd_02.png is not in the skin archive: that piece of the frame is left "
                                "out, unless a loose file of that name lies in the launcher's folder"}));
}

TEST(SkinRules, NoArchiveOrNoZipAndNoChooser) {
  kestrel::testing::GbkTestPlatform none, broken, unused;
  EXPECT_EQ(
      Of(LintIni(none, kChooser), "missing-file"),
      (std::vector<std::string>{"E 2: btnCount shows the chooser, but its skin C:\\Games\\Foo\\GamePatch\\res.dat "
                                "is not there: the chooser is not shown and the game starts directly"}));
  broken.AddFile(kPatch + L"res.dat", "no archive here");
  const Findings findings = LintIni(broken, kChooser);
  ASSERT_EQ(Of(findings, "skin-image").size(), 1u);
  EXPECT_NE(Of(findings, "skin-image")[0].find("the launcher cannot open the skin archive"), std::string::npos);
  // Without the chooser the skin does not matter.
  EXPECT_TRUE(LintIni(unused, L"[dlg_config]\nbtnCount=0\n").empty());
}

}  // namespace
}  // namespace kestrel::check
