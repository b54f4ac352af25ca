// The machine model's profile reader (used by the Linux build and the
// fake) against Windows' own GetPrivateProfileStringW: the same file text
// must read the same on both builds.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/model/profile_text.h"
#include "platform/win32/win32_platform.h"
#include "util/utf.h"

namespace kestrel {
namespace {

const wchar_t kIni[] =
    L"orphan=before any section\r\n"
    L"[game_base]\r\n"
    L"  mainExe  =  game.exe  \r\n"
    L"param=\"-window -fullscreen\"\r\n"
    L"quoted='x'\n"
    L"lone=\"\n"
    L"mixed=\"a'\n"
    L"inner=a \"b\" c\n"
    L"empty=\n"
    L"novalue\n"
    L";comment=1\n"
    L"mainExe=second.exe\n"
    L"url=http://x/?a=b\n"
    L"tabbed=\tv\t\n"
    L"n1=42abc\nn2= -7\nn3=0x10\nn4=abc\nn5=\nn6=+3\nn7=4294967295\nn8=0X10\nn9=\"12\"\n"
    L"long=\"abcdef\"\n"
    L"[ spaced ]\n"
    L"k=v\n"
    L"[GAME_BASE]\n"
    L"onlyInSecond=1\n"
    L"[dlg_config]\n"
    L"btnCount=2\n"
    L"[broken\n"
    L"after=broken header\n"
    L"[游戏]\n"
    L"名=值\n";

class ProfileParityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = std::filesystem::temp_directory_path() /
            (L"kestrel-parity-" + std::to_wstring(::GetCurrentProcessId()) + L".ini");
    std::ofstream(file_, std::ios::binary) << "\xFF\xFE" + WideToUtf16Le(kIni);
    text_ = ProfileText(kIni);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
  }

  std::filesystem::path file_;
  ProfileText text_;
  Win32Platform os_;
};

TEST_F(ProfileParityTest, StringsReadAlike) {
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    std::uint32_t buffer;
  };
  const Case cases[] = {
      {L"", L"orphan", 260},         {L"game_base", L"mainExe", 260},  {L"GAME_BASE", L"MAINEXE", 260},
      {L" game_base ", L" mainExe ", 260}, {L"game_base", L"param", 260}, {L"game_base", L"quoted", 260},
      {L"game_base", L"lone", 260},  {L"game_base", L"mixed", 260},    {L"game_base", L"inner", 260},
      {L"game_base", L"empty", 260}, {L"game_base", L"novalue", 260},  {L"game_base", L";comment", 260},
      {L"game_base", L"url", 260},   {L"game_base", L"tabbed", 260},   {L"game_base", L"onlyInSecond", 260},
      {L" spaced ", L"k", 260},      {L"spaced", L"k", 260},           {L"dlg_config", L"after", 260},
      {L"broken", L"after", 260},    {L"missing", L"k", 260},          {L"游戏", L"名", 260},
      {L"game_base", L"long", 6},    {L"game_base", L"long", 7},       {L"game_base", L"long", 8},
      {L"game_base", L"param", 4},   {L"game_base", L"url", 1},
  };
  for (const Case& c : cases) {
    std::wstring windows = os_.GetPrivateProfileStringW(c.section, c.key, L"default", c.buffer, file_.wstring());
    std::wstring model = ProfileGetString(&text_, c.section, c.key, L"default", c.buffer);
    EXPECT_EQ(model, windows) << "[" << WideToUtf8(c.section) << "] " << WideToUtf8(c.key) << " in " << c.buffer;
  }
}

TEST_F(ProfileParityTest, IntegersReadAlike) {
  const wchar_t* keys[] = {L"n1", L"n2", L"n3", L"n4", L"n5", L"n6", L"n7", L"n8", L"n9", L"missing", L"mainExe"};
  for (const wchar_t* key : keys)
    EXPECT_EQ(ProfileGetInt(&text_, L"game_base", key, 5),
              os_.GetPrivateProfileIntW(L"game_base", key, 5, file_.wstring()))
        << WideToUtf8(key);
}

TEST_F(ProfileParityTest, DefaultsAreCutAlike) {
  const std::wstring defaults[] = {L"def  ", L"  def", L"\"q\"", std::wstring(300, L'd')};
  for (const std::wstring& d : defaults)
    EXPECT_EQ(ProfileGetString(&text_, L"game_base", L"missing", d, 260),
              os_.GetPrivateProfileStringW(L"game_base", L"missing", d, 260, file_.wstring()))
        << WideToUtf8(d);
}

}  // namespace
}  // namespace kestrel
