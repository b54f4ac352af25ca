// The machine model's profile reader (used by the Linux build and the
// fake) against Windows' own GetPrivateProfileStringW: the same file text
// must read the same on both builds.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/model/profile_text.h"
#include "platform/model/profile_writer.h"
#include "platform/win32/win32_platform.h"
#include "text/utf.h"

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

TEST_F(ProfileParityTest, SectionsReadAlike) {
  struct Case {
    const wchar_t* section;
    std::uint32_t buffer;
  };
  const Case cases[] = {{L"game_base", 1024}, {L"GAME_BASE", 40}, {L"game_base", 3}, {L"dlg_config", 1024},
                        {L"dlg_config", 11},  {L"dlg_config", 12}, {L"missing", 1024}, {L"", 1024}};
  for (const Case& c : cases) {
    std::wstring windows, model;
    std::uint32_t windowsLength = os_.GetPrivateProfileSectionW(c.section, windows, c.buffer, file_.wstring());
    std::uint32_t modelLength = ProfileGetSection(&text_, c.section, c.buffer, model);
    EXPECT_EQ(modelLength, windowsLength) << WideToUtf8(c.section) << " in " << c.buffer;
    EXPECT_EQ(model, windows) << WideToUtf8(c.section) << " in " << c.buffer;
  }
}

// Files changed by the model's writer read back through Windows exactly as
// files Windows changed itself.
TEST_F(ProfileParityTest, WritesReadBackAlike) {
  struct Write {
    const wchar_t* section;
    std::optional<std::wstring> key;
    std::optional<std::wstring> value;
  };
  const Write writes[] = {
      {L"game_base", L"currntVer", L"2.0"},   {L"GAME_BASE", L"MAINEXE", L"new.exe"}, {L"new", L"k", L"v w"},
      {L"game_base", L"param", std::nullopt}, {L"dlg_config", std::nullopt, std::nullopt},
      {L"游戏", L"名", L"新值"},               {L"game_base", L"empty", L""},
  };
  const std::filesystem::path modelFile = file_.wstring() + L".model.ini";
  std::string bytes = "\xFF\xFE" + WideToUtf16Le(kIni);
  AnsiCodec ansi{[this](std::string_view b) { return os_.AnsiToWide(b); },
                 [this](std::wstring_view t) { return os_.WideToAnsi(t); }};
  for (const Write& w : writes) {
    ASSERT_TRUE(os_.WritePrivateProfileStringW(w.section, w.key, w.value, file_.wstring()));
    std::optional<std::string> changed = ProfileWrite(bytes, w.section, w.key, w.value, ansi);
    ASSERT_TRUE(changed.has_value());
    bytes = *changed;
  }
  std::ofstream(modelFile, std::ios::binary) << bytes;
  const std::pair<const wchar_t*, const wchar_t*> reads[] = {
      {L"game_base", L"currntVer"}, {L"game_base", L"mainExe"}, {L"game_base", L"param"}, {L"new", L"k"},
      {L"dlg_config", L"btnCount"}, {L"dlg_config", L"after"},  {L"游戏", L"名"},          {L"game_base", L"empty"},
      {L"game_base", L"url"},       {L"", L"orphan"},
  };
  for (const auto& [section, key] : reads)
    EXPECT_EQ(os_.GetPrivateProfileStringW(section, key, L"default", 260, modelFile.wstring()),
              os_.GetPrivateProfileStringW(section, key, L"default", 260, file_.wstring()))
        << WideToUtf8(section) << "/" << WideToUtf8(key);
  std::error_code ec;
  std::filesystem::remove(modelFile, ec);
}

}  // namespace
}  // namespace kestrel
