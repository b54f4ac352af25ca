#include "platform/model/wine_registry_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/model/wow64_view.h"
#include "text/utf.h"

namespace kestrel {
namespace {

std::string ReadTestFile(const std::string& name) {
  std::ifstream in(std::string(KESTREL_TESTDATA) + "/wine/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

RegistryValue Sz(const std::wstring& text) {
  std::string b = WideToUtf16Le(text);
  b.append(2, '\0');
  return {1, std::vector<std::uint8_t>(b.begin(), b.end())};
}

class WineFiles : public ::testing::TestWithParam<const char*> {};

// Files Wine wrote come back byte for byte when nothing changes, and every
// block regenerated from its values is the block Wine wrote.
TEST_P(WineFiles, RoundTripAndRegenerate) {
  std::string bytes = ReadTestFile(GetParam());
  ASSERT_GT(bytes.size(), 1000u);
  RegistryTree tree;
  WineRegistryFile file;
  ASSERT_TRUE(ReadWineRegistry(bytes, file));
  WineRegistryFile untouched = file;
  EXPECT_EQ(WriteWineRegistry(tree, untouched, 1), bytes);  // nothing loaded
  LoadWineKey(file, tree, L"", true);
  EXPECT_EQ(file.problems, 0u);
  EXPECT_EQ(file.arch, "win64");
  WineRegistryFile copy = file;
  EXPECT_EQ(WriteWineRegistry(tree, copy, 1), bytes);

  std::size_t compared = 0;
  for (const WineRegistryFile::Block& block : file.blocks) {
    std::string text = file.bytes.substr(block.begin, block.end - block.begin);
    std::size_t at = text.find("#time=");
    ASSERT_NE(at, std::string::npos) << text;
    std::uint64_t filetime = std::stoull(text.substr(at + 6, text.find('\n', at) - at - 6), nullptr, 16);
    std::string expected = text;
    while (expected.size() > 1 && expected[expected.size() - 2] == '\n') expected.pop_back();
    EXPECT_EQ(WineKeyBlock(block.path, *tree.FindKey(block.path), filetime, block.options), expected);
    ++compared;
  }
  EXPECT_EQ(compared, file.blocks.size());
}

INSTANTIATE_TEST_SUITE_P(FreshPrefix, WineFiles, ::testing::Values("user.reg", "system.reg"));

// One changed value changes its own line and its key's two time lines,
// nothing else; a new key is appended; a removed key leaves.
TEST(WineRegistryFile, ChangesTouchOnlyTheirLines) {
  std::string bytes = ReadTestFile("user.reg");
  RegistryTree tree;
  WineRegistryFile file;
  ASSERT_TRUE(ReadWineRegistry(bytes, file));
  ASSERT_NE(LoadWineKey(file, tree, L"control panel\\COLORS", false), nullptr);
  ASSERT_NE(tree.FindValue(L"Control Panel\\Colors", L"ActiveBorder"), nullptr);
  tree.SetValue(L"Control Panel\\Colors", L"ActiveBorder", Sz(L"1 2 3"));
  std::string written = WriteWineRegistry(tree, file, FileTimeOf(1800000000, 0));
  std::vector<std::string> before = Lines(bytes), after = Lines(written);
  ASSERT_EQ(before.size(), after.size());
  std::vector<std::string> changed;
  for (std::size_t i = 0; i < before.size(); ++i)
    if (before[i] != after[i]) changed.push_back(after[i]);
  ASSERT_EQ(changed.size(), 3u);
  EXPECT_EQ(changed[0].substr(0, 28), "[Control Panel\\\\Colors] 1800");
  EXPECT_EQ(changed[1].substr(0, 6), "#time=");
  EXPECT_EQ(changed[2], "\"ActiveBorder\"=\"1 2 3\"");

  // The file now describes what was written: a second write is the same.
  EXPECT_EQ(WriteWineRegistry(tree, file, FileTimeOf(1900000000, 0)), written);

  EXPECT_EQ(LoadWineKey(file, tree, L"Software\\KxNew", false), nullptr);
  tree.SetValue(L"Software\\KxNew", L"Dir", Sz(L"C:\\游戏"));
  ASSERT_TRUE(tree.DeleteKey(L"Control Panel\\Colors"));
  std::string again = WriteWineRegistry(tree, file, FileTimeOf(1800000000, 0));
  EXPECT_EQ(again.find("[Control Panel\\\\Colors]"), std::string::npos);
  EXPECT_NE(again.find("\n\n[Software\\\\KxNew] 1800000000\n#time="), std::string::npos);
  EXPECT_NE(again.find("\"Dir\"=\"C:\\\\\\x6e38\\x620f\"\n"), std::string::npos);
  // Read again whole, it is the tree with everything else the file had.
  RegistryTree reread, expected;
  WineRegistryFile rereadFile, expectedFile;
  ASSERT_TRUE(ReadWineRegistry(again, rereadFile));
  LoadWineKey(rereadFile, reread, L"", true);
  ASSERT_TRUE(ReadWineRegistry(bytes, expectedFile));
  LoadWineKey(expectedFile, expected, L"", true);
  ASSERT_TRUE(expected.DeleteKey(L"Control Panel\\Colors"));
  expected.SetValue(L"Software\\KxNew", L"Dir", Sz(L"C:\\游戏"));
  EXPECT_TRUE(reread == expected);
}

// Every form Wine writes, from values that can hold anything.
TEST(WineRegistryFile, ValueForms) {
  struct Case {
    RegistryValue value;
    std::string line;
  };
  // Values made by a function, not nested braces: GCC 12 at -O3 warns of an
  // uninitialised vector in the nested form, which is not.
  auto Bytes = [](std::uint32_t type, std::vector<std::uint8_t> data) { return RegistryValue{type, std::move(data)}; };
  const Case cases[] = {
      {Sz(L"a\"b\\c\n"), "@=\"a\\\"b\\\\c\\n\""},
      {Sz(std::wstring(L"x\0" L"7y\x1", 5)), "@=\"x\\0007y\\1\""},
      {Sz(L"\x00e9" L"a\x00e9" L"z"), "@=\"\\x00e9a\\xe9z\""},
      {Bytes(2, Sz(L"%SystemRoot%").data), "@=str(2):\"%SystemRoot%\""},
      {Bytes(7, Sz(std::wstring(L"a\0b\0", 4)).data), "@=str(7):\"a\\0b\\0\""},
      {Bytes(4, {0x2a, 0, 0, 0x80}), "@=dword:8000002a"},
      {Bytes(4, {1, 2}), "@=hex(4):01,02"},
      {Bytes(1, {0x41, 0}), "@=hex(1):41,00"},  // a string without its end is kept as bytes
      {Bytes(0xffff0007, {3, 0, 0, 0}), "@=hex(ffff0007):03,00,00,00"},
      {Bytes(3, {}), "@=hex:"},
  };
  for (const Case& c : cases) {
    RegistryTree tree;
    tree.SetValue(L"K", L"", c.value);
    WineRegistryFile file = NewWineRegistry("REGISTRY\\\\Machine", "win64");
    std::string bytes = WriteWineRegistry(tree, file, FileTimeOf(0, 0));
    EXPECT_NE(bytes.find("\n" + c.line + "\n"), std::string::npos) << bytes;
    RegistryTree back;
    WineRegistryFile backFile;
    ASSERT_TRUE(ReadWineRegistry(bytes, backFile));
    LoadWineKey(backFile, back, L"", true);
    EXPECT_EQ(backFile.problems, 0u);
    ASSERT_NE(back.FindValue(L"K", L""), nullptr) << c.line;
    EXPECT_EQ(*back.FindValue(L"K", L""), c.value) << c.line;
  }
}

TEST(WineRegistryFile, HostileInput) {
  RegistryTree tree;
  WineRegistryFile file;
  EXPECT_FALSE(ReadWineRegistry("REGEDIT4\n[a]\n", file));
  using namespace std::string_literals;
  std::string bytes = "WINE REGISTRY Version 2\n\n[A\\\\B\\]c] 5\n\"n\0\"=dword:1\n"s +
                      "\"open=\"x\n@=hex:zz\n@=hex(100000000):01\n@=\"\\x\"\n[Unclosed\n\"v\"=\"ok\"\n";
  ASSERT_TRUE(ReadWineRegistry(bytes, file));
  LoadWineKey(file, tree, L"", true);
  EXPECT_NE(tree.FindKey(L"A\\B]c"), nullptr);
  EXPECT_EQ(file.problems, 4u);  // "open=", hex:zz, hex(100000000) and the unclosed key (its block is never read)
  EXPECT_EQ(*tree.FindValue(L"A\\B]c", L""), Sz(L"x"));
  WineRegistryFile copy = file;
  EXPECT_EQ(WriteWineRegistry(tree, copy, 1), bytes);  // what was not understood is kept too
}

TEST(Wow64View, MachinePaths) {
  RegistryTree tree;
  tree.CreateKey(L"Software\\Classes\\Wow6432Node\\CLSID");
  auto exists = [&](std::wstring_view path) { return tree.FindKey(path) != nullptr; };
  struct {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"Software", L"Software\\Wow6432Node"},
      {L"SOFTWARE\\KxView\\GInfo", L"SOFTWARE\\Wow6432Node\\KxView\\GInfo"},
      {L"Software\\Wow6432Node\\X", L"Software\\Wow6432Node\\X"},
      {L"Software\\Classes", L"Software\\Classes"},
      {L"Software\\Classes\\.txt", L"Software\\Classes\\.txt"},
      {L"Software\\Classes\\clsid\\{X}", L"Software\\Classes\\Wow6432Node\\clsid\\{X}"},
      {L"System\\CurrentControlSet", L"System\\CurrentControlSet"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(Wow64MachinePath(c.path, exists), c.expected) << c.path;
}

}  // namespace
}  // namespace kestrel
