#include "platform/model/reg_file.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kestrel {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }
std::vector<std::uint8_t> Sz(const std::wstring& text) {
  std::string b = WideToUtf16Le(text);
  b.append(2, '\0');
  return Bytes(b);
}
// A GBK stand-in for the ANSI code page: "游" is 0xD3 0xCE.
std::wstring Ansi(std::string_view b) {
  std::wstring out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (b.substr(i, 2) == "\xD3\xCE") out += L'游', ++i;
    else out += static_cast<wchar_t>(static_cast<unsigned char>(b[i]));
  }
  return out;
}

struct Machine {
  RegistryTree hklm, hkcu;
  RegFileImport Import(const std::string& bytes) { return ImportRegFile(bytes, StandardHives(hklm, hkcu), Ansi); }
};

TEST(RegFile, ImportsVersion5) {
  Machine m;
  const std::wstring text =
      L"Windows Registry Editor Version 5.00\r\n"
      L"\r\n"
      L"; a comment\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo]\r\n"
      L"\"10001\"=\"Foo|E:\\\\Games\\\\Foo|D:\\\\Foo|2\"\r\n"
      L"@=\"default \\\"quoted\\\"\"\r\n"
      L"\"Count\"=dword:0000002A\r\n"
      L"\"Blob\"=hex:01,02,\\\r\n"
      L"  03,ff\r\n"
      L"\"Path\"=hex(2):25,00,41,00,00,00\r\n"
      L"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      L"\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      L"\"Empty\"=hex:\r\n"
      L"\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Towodo Software\\Virtual Drive Manager\\Settings]\r\n"
      L"\"MountPrevious\"=dword:00000001\r\n"
      L"[HKEY_CLASSES_ROOT\\.iso]\r\n"
      L"@=\"游戏\"\r\n";
  RegFileImport r = m.Import("\xFF\xFE" + WideToUtf16Le(text));
  EXPECT_TRUE(r.recognized);
  EXPECT_EQ(r.problems, std::vector<RegFileProblem>{});
  const std::wstring ginfo = L"software\\{3798BE84-4E13-4B81-B8CF-5063730FF905}\\GINFO";
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L"10001"), (RegistryValue{1, Sz(L"Foo|E:\\Games\\Foo|D:\\Foo|2")}));
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L""), (RegistryValue{1, Sz(L"default \"quoted\"")}));
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L"count"), (RegistryValue{4, {0x2A, 0, 0, 0}}));
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L"Blob"), (RegistryValue{3, {1, 2, 3, 0xFF}}));
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L"Path"), (RegistryValue{2, {0x25, 0, 0x41, 0, 0, 0}}));
  EXPECT_EQ(m.hklm.FindValue(ginfo, L"Multi")->type, 7u);
  EXPECT_EQ(m.hklm.FindValue(ginfo, L"Big")->type, 11u);
  EXPECT_EQ(*m.hklm.FindValue(ginfo, L"Empty"), (RegistryValue{3, {}}));
  EXPECT_EQ(*m.hkcu.FindValue(L"Software\\Towodo Software\\Virtual Drive Manager\\Settings", L"MountPrevious"),
            (RegistryValue{4, {1, 0, 0, 0}}));
  EXPECT_EQ(*m.hklm.FindValue(L"SOFTWARE\\Classes\\.iso", L""), (RegistryValue{1, Sz(L"游戏")}));
  // Key names keep the case they were made with.
  EXPECT_EQ(m.hklm.FindKey(L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}")->name(),
            L"{3798BE84-4E13-4b81-B8CF-5063730FF905}");
}

TEST(RegFile, ImportsRegedit4AsAnsi) {
  Machine m;
  RegFileImport r = m.Import(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n\"Name\"=\"\xD3\xCE\"\r\n"
      "\"Exp\"=hex(2):25,41,25,00\r\n\"Multi\"=hex(7):61,00,62,00,00\r\n");
  EXPECT_TRUE(r.recognized);
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(*m.hkcu.FindValue(L"Software\\Old", L"Name"), (RegistryValue{1, Sz(L"游")}));
  // REGEDIT4 keeps these two types as ANSI text; the store keeps UTF-16LE.
  EXPECT_EQ(*m.hkcu.FindValue(L"Software\\Old", L"Exp"), (RegistryValue{2, Sz(L"%A%")}));
  EXPECT_EQ(m.hkcu.FindValue(L"Software\\Old", L"Multi")->data, Bytes(std::string("a\0\0\0b\0\0\0\0\0", 10)));
}

TEST(RegFile, BadLinesAreReportedAndTheRestApplied) {
  Machine m;
  m.hkcu.SetValue(L"Software\\Keep", L"gone", RegistryValue{4, {1, 0, 0, 0}});
  m.hkcu.SetValue(L"Software\\Drop\\Sub", L"x", RegistryValue{4, {1, 0, 0, 0}});
  RegFileImport r = m.Import(
      "Windows Registry Editor Version 5.00\n"
      "\"orphan\"=\"before any key\"\n"            // 2
      "[HKEY_CURRENT_USER\\Software\\Keep]\n"
      "\"ok\"=\"1\"\n"
      "\"bad dword\"=dword:123456789\n"           // 5
      "\"bad hex\"=hex:1g,02\n"                   // 6
      "\"unclosed=\"x\"\n"                        // 7
      "\"gone\"=-\n"
      "junk line\n"                               // 9
      "[HKEY_USERS\\.DEFAULT\\Software]\n"        // 10
      "\"skipped\"=\"quietly\"\n"
      "[-HKEY_CURRENT_USER\\Software\\Drop]\n"
      "[-HKEY_CURRENT_USER]\n"                    // 13
      "[HKEY_CURRENT_USER\\Software\\Keep\n"      // 14
      "\"after\"=dword:2\n");
  EXPECT_TRUE(r.recognized);
  std::vector<std::size_t> lines;
  for (const RegFileProblem& p : r.problems) lines.push_back(p.line);
  EXPECT_EQ(lines, (std::vector<std::size_t>{2, 5, 6, 7, 9, 10, 13, 14}));
  EXPECT_NE(m.hkcu.FindValue(L"Software\\Keep", L"ok"), nullptr);
  EXPECT_EQ(m.hkcu.FindValue(L"Software\\Keep", L"gone"), nullptr);
  EXPECT_EQ(m.hkcu.FindKey(L"Software\\Drop"), nullptr);
  EXPECT_NE(m.hkcu.FindKey(L"Software"), nullptr);
  EXPECT_EQ(m.hkcu.FindValue(L"Software\\Keep", L"after"), nullptr);  // its key line was bad
}

// The registry's limits: a name component of 255 characters, 512 levels, a
// value name of 16,383 characters.  A line past them is reported by number
// and skipped with its values; the lines around it still import, in both
// file versions.
TEST(RegFile, LimitsOfKeysAndValueNames) {
  std::wstring deep = L"Software";
  for (int i = 1; i < 512; ++i) deep += L"\\k";  // 512 levels
  std::wstring huge = L"Software";
  for (int i = 0; i < 100000; ++i) huge += L"\\k";
  for (const char* header : {"Windows Registry Editor Version 5.00", "REGEDIT4"}) {
    SCOPED_TRACE(header);
    Machine m;
    const std::wstring text = Utf8ToWide(header) + L"\r\n"
        L"[HKEY_CURRENT_USER\\Software\\" + std::wstring(255, L'a') + L"]\r\n"     // 2: fits
        L"\"ok255\"=dword:1\r\n"
        L"[HKEY_CURRENT_USER\\Software\\" + std::wstring(256, L'b') + L"]\r\n"     // 4
        L"\"lost\"=dword:1\r\n"
        L"[HKEY_CURRENT_USER\\" + deep + L"]\r\n"                                     // 6: fits
        L"\"ok512\"=dword:1\r\n"
        L"[HKEY_CURRENT_USER\\" + deep + L"\\one-more]\r\n"                         // 8
        L"[HKEY_CURRENT_USER\\" + huge + L"]\r\n"                                     // 9
        L"[HKEY_CURRENT_USER\\Software\\" + std::wstring(200000, L'c') + L"]\r\n"  // 10
        L"[HKEY_CURRENT_USER\\Software\\Names]\r\n"
        L"\"" + std::wstring(16383, L'n') + L"\"=dword:1\r\n"
        L"\"" + std::wstring(16384, L'm') + L"\"=dword:1\r\n"                          // 13
        L"\"after\"=dword:2\r\n";
    std::string bytes = header[0] == 'W' ? "\xFF\xFE" + WideToUtf16Le(text) : WideToUtf8(text);
    RegFileImport r = m.Import(bytes);
    std::vector<std::size_t> lines;
    for (const RegFileProblem& p : r.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<std::size_t>{4, 8, 9, 10, 13}));
    EXPECT_NE(m.hkcu.FindValue(L"Software\\" + std::wstring(255, L'a'), L"ok255"), nullptr);
    EXPECT_NE(m.hkcu.FindValue(deep, L"ok512"), nullptr);
    EXPECT_EQ(m.hkcu.FindKey(L"Software\\" + std::wstring(256, L'b')), nullptr);
    EXPECT_EQ(m.hkcu.FindKey(deep + L"\\one-more"), nullptr);
    EXPECT_NE(m.hkcu.FindValue(L"Software\\Names", std::wstring(16383, L'n')), nullptr);
    EXPECT_NE(m.hkcu.FindValue(L"Software\\Names", L"after"), nullptr);
    // The deepest key exports and reads back.
    Machine again;
    EXPECT_TRUE(again.Import(ExportRegFile(m.hkcu, L"HKEY_CURRENT_USER")).problems.empty());
    EXPECT_TRUE(again.hkcu == m.hkcu);
  }
}

// Removing values keeps the others, their order and their lookups.
TEST(RegFile, RemovedValuesLeaveTheRestInOrder) {
  std::string text = "REGEDIT4\r\n[HKEY_CURRENT_USER\\V]\r\n";
  for (int i = 0; i < 2000; ++i) text += "\"v" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\r\n";
  for (int i = 0; i < 2000; i += 2) text += "\"V" + std::to_string(i) + "\"=-\r\n";
  text += "\"v0\"=dword:7\r\n";
  Machine m;
  RegFileImport r = m.Import(text);
  EXPECT_TRUE(r.problems.empty());
  const RegistryKey* key = m.hkcu.FindKey(L"V");
  ASSERT_NE(key, nullptr);
  std::vector<std::wstring> names;
  for (const auto& [name, value] : key->values()) names.push_back(name);
  ASSERT_EQ(names.size(), 1001u);
  EXPECT_EQ(names[0], L"v1");
  EXPECT_EQ(names[999], L"v1999");
  EXPECT_EQ(names[1000], L"v0");  // set again after its removal: last
  EXPECT_EQ(*m.hkcu.FindValue(L"V", L"v1999"), (RegistryValue{4, {9, 0, 0, 0}}));
  EXPECT_EQ(m.hkcu.FindValue(L"V", L"v1998"), nullptr);
}

TEST(RegFile, FilesWithoutHeaderChangeNothing) {
  Machine m;
  for (std::string bytes : {std::string(), std::string("[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n"),
                            std::string("\x00\x01\xFF garbage", 11), "\xFF\xFE" + std::string(1000, '\0')}) {
    RegFileImport r = m.Import(bytes);
    EXPECT_FALSE(r.recognized);
    EXPECT_EQ(r.applied, 0u);
  }
  EXPECT_EQ(m.hkcu.FindKey(L"A"), nullptr);
}

// The editor's reading of value lines, one case a line: the text after the
// key line (REGEDIT4 when `ansi`, else UTF-16), and what "v" holds then
// (type 0 with no data: nothing stored).
TEST(RegFile, ValueLinesReadAsTheEditorReadsThem) {
  struct Case {
    bool ansi;
    std::string lines;
    RegistryValue expected;
  };
  const RegistryValue none{0, {}};
  const Case cases[] = {
      {true, "\"v\"=dword: 1", {4, {1, 0, 0, 0}}},
      {true, "\"v\"=dword:2 ; two", {4, {2, 0, 0, 0}}},
      {true, "\"v\"=dword: ;nothing", {4, {0, 0, 0, 0}}},
      {true, "\"v\"=DWORD:3", none},
      {true, "\"v\"=dword:000000004", none},
      {true, "\"v\"=dword:", none},
      {true, "\"v\"=HEX:01", none},
      {true, "\"v\"=hex(1):41,42", {1, {0x41, 0, 0x42, 0, 0, 0}}},
      {true, "\"v\"=hex(2):d3,ce", {2, {0x38, 0x6E, 0, 0}}},
      {false, "\"v\"=hex(2):41,00", {2, {0x41, 0, 0, 0}}},
      {false, "\"v\"=hex(7):41,00,00,00", {7, {0x41, 0, 0, 0}}},
      {false, "\"v\"=hex(1):", {1, {}}},
      {false, "\"v\"=hex():07", {0, {7}}},
      {false, "\"v\"=hex:1,0x10,001", {3, {1, 0x10, 1}}},
      {false, "\"v\"=hex:100", none},
      {false, "\"v\"=hex:01 ,02", none},
      {false, "\"v\"=hex:01,\\\n\n; note\n  02", {3, {1, 2}}},
      {false, "\"v\"=hex:01,\\   \n  02,03  ", {3, {1, 2, 3}}},
      {false, "\"v\"=hex:01,\\\n  02,03,  ", none},
      {false, "\"v\"=hex:01,\\\n\"x\"=\"lost too\"", none},
      {false, "\"v\"=hex:01\\\n  02", none},
      {false, "\"v\"=\"a\\qb\"", {1, Sz(L"aqb")}},
      {false, "\"v\"=\"a\\0b\"", none},
      {false, "\"v\" = \"x\" ; note", {1, Sz(L"x")}},
      {false, "[ HKEY_CURRENT_USER\\Other]\n\"v\"=\"to the key before\"", {1, Sz(L"to the key before")}},
      {false, "[-HKEY_CURRENT_USER\\T]\n\"v\"=\"no key open\"", none},
  };
  for (const Case& c : cases) {
    Machine m;
    std::string text = std::string(c.ansi ? "REGEDIT4" : "Windows Registry Editor Version 5.00") +
                       "\r\n[HKEY_CURRENT_USER\\T]\r\n" + c.lines + "\r\n\"w\"=\"after\"\r\n";
    std::string bytes = c.ansi ? text : "\xFF\xFE" + WideToUtf16Le(Utf8ToWide(text));
    m.Import(bytes);
    const RegistryValue* v = m.hkcu.FindValue(L"T", L"v");
    if (c.expected == none) {
      EXPECT_EQ(v, nullptr) << c.lines;
    } else {
      ASSERT_NE(v, nullptr) << c.lines;
      EXPECT_EQ(*v, c.expected) << c.lines;
    }
    // A continuation that is no hex data costs that line too ("x"); the
    // line after is only lost with no key open.
    EXPECT_EQ(m.hkcu.FindValue(L"T", L"x"), nullptr) << c.lines;
    EXPECT_EQ(m.hkcu.FindValue(L"T", L"w") == nullptr, c.lines.find("[-") != std::string::npos) << c.lines;
  }
}

TEST(RegFile, HeaderIsTheFirstLineExactly) {
  for (const char* header : {"REGEDIT4 ", "regedit4", "\r\nREGEDIT4", "REGEDIT4 extra"}) {
    Machine m;
    m.Import(std::string(header) + "\r\n[HKEY_CURRENT_USER\\T]\r\n\"v\"=\"1\"\r\n");
    EXPECT_EQ(m.hkcu.FindKey(L"T"), nullptr) << header;
  }
  Machine m;
  EXPECT_TRUE(m.Import("  REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n").recognized);
  EXPECT_NE(m.hkcu.FindKey(L"T"), nullptr);
  m.Import("REGEDIT\r\nHKEY_CLASSES_ROOT\\.kx = Kestrel file\r\n");
  EXPECT_EQ(*m.hklm.FindValue(L"SOFTWARE\\Classes\\.kx", L""), (RegistryValue{1, Sz(L"Kestrel file")}));
}

TEST(RegFile, ExportReadsBackTheSame) {
  RegistryTree tree;
  tree.SetValue(L"Software\\Game", L"Path", RegistryValue{1, Sz(L"C:\\Games\\\"Foo\"")});
  tree.SetValue(L"Software\\Game", L"", RegistryValue{1, Sz(L"default")});
  tree.SetValue(L"Software\\Game", L"Lines", RegistryValue{1, Sz(L"a\r\nb")});
  tree.SetValue(L"Software\\Game", L"Inner", RegistryValue{1, Sz(std::wstring(L"a\0b", 3))});  // not text-safe: hex(1)
  tree.SetValue(L"Software\\Game", L"Odd", RegistryValue{1, {0x41}});
  tree.SetValue(L"Software\\Game", L"Dword", RegistryValue{4, {1, 2, 3, 4}});
  tree.SetValue(L"Software\\Game", L"ShortDword", RegistryValue{4, {1}});
  std::vector<std::uint8_t> blob;
  for (int i = 0; i < 300; ++i) blob.push_back(static_cast<std::uint8_t>(i));
  tree.SetValue(L"Software\\Game", L"Blob", RegistryValue{3, blob});
  tree.SetValue(L"Software\\Game", L"Name \"with\" \\ and\nbreak", RegistryValue{0x12345, {9}});
  tree.CreateKey(L"Software\\Empty\\Leaf");
  std::string file = ExportRegFile(tree, L"HKEY_CURRENT_USER");
  std::wstring text = Utf16LeToWide(file.substr(2));
  EXPECT_EQ(text.substr(0, 40), L"Windows Registry Editor Version 5.00\r\n\r\n");
  // Values in the registry's order, whatever order they were set in.
  EXPECT_NE(text.find(L"[HKEY_CURRENT_USER\\Software\\Game]\r\n@=\"default\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Path\"=\"C:\\\\Games\\\\\\\"Foo\\\"\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Lines\"=\"a\\r\\nb\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Inner\"=hex(1):61,00,00,00,62,00,00,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"ShortDword\"=hex(4):01\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\r\n[HKEY_CURRENT_USER\\Software\\Empty]\r\n\r\n[HKEY_CURRENT_USER\\Software\\Empty\\Leaf]\r\n"),
            std::wstring::npos);
  EXPECT_NE(text.find(L"\"Dword\"=dword:04030201\r\n"), std::wstring::npos);
  for (std::size_t pos = 0, end; (end = text.find(L"\r\n", pos)) != std::wstring::npos; pos = end + 2)
    EXPECT_LE(end - pos, 80u) << "long line";

  Machine m;
  RegFileImport r = m.Import(file);
  EXPECT_TRUE(r.problems.empty());
  EXPECT_TRUE(m.hkcu == tree);
  EXPECT_EQ(ExportRegFile(m.hkcu, L"HKEY_CURRENT_USER"), file);
}

}  // namespace
}  // namespace kestrel
