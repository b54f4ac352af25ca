// Compares what Wine's regedit and kestrel-system's regedit stored for one
// registry file, from their exports of the same key:
//
//   kestrel_regedit_compare FILE WINE_EXPORT KESTREL_EXPORT
//
// Every value (name, type, data bytes) and every key of both exports is
// compared.  A difference listed in the table below (the file, the key
// below the test key, the value) is expected, for the reason given; any
// other difference fails.  When the two hold the same, the exports must
// also be the same bytes.  Either export may be missing (the editor
// stored nothing under the key).  Prints one line per value compared and
// per difference; exit 0 when nothing unexplained was found.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/model/reg_file.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace {
using namespace kestrel;

struct Known {
  const char* file;   // the corpus file, "*" any
  const wchar_t* key;   // below the exported key, "" for the key itself, "*" any
  const wchar_t* value;  // value name, "*" any, "<key>" for the key's own presence
  const char* reason;
};

// Where kestrel-system stores something else than Wine's regedit, on
// purpose.  Keep it short: each line is a decision, with its reason.
const Known kKnown[] = {
    {"types-v5-utf8bom.reg", L"*", L"*",
     "Wine's regedit reads a file with a UTF-8 byte-order mark as ANSI text, so the mark spoils the header and "
     "nothing is imported; Windows 10's regedit imports UTF-8 files, and so does kestrel-system (reading the "
     "hex data of text types as UTF-16, as in a UTF-16 file)"},
    {"stops-unknown-root.reg", L"", L"after",
     "Wine's regedit ends the whole import at a removal of a key under a root it does not know "
     "(\"[-HKEY_NOPE\\...]\"); kestrel-system reports that line and goes on, so one bad line never costs the "
     "rest of the file"},
    {"stops-root-removal.reg", L"", L"after",
     "Wine's regedit ends the whole import at a removal of a root key (\"[-HKEY_CURRENT_USER]\"); "
     "kestrel-system reports that line, removes nothing and goes on"},
    // Wine's export loses these; the data stored may well be the same.
    {"*", L"*", L"dword-short",
     "Wine's regedit exports a REG_DWORD that is not 4 bytes long as \"dword:\" from 4 bytes, reading past "
     "the data (here \"ff ff\"); kestrel-system writes \"hex(4):01,02\", which reads back the same"},
    {"*", L"*", L"sz-hex-empty",
     "Wine's regedit exports a REG_SZ of no bytes as \"\", which reads back as one zero character; "
     "kestrel-system writes \"hex(1):\", which reads back the same"},
    // Bytes that are no text in the ANSI code page.
    {"*", L"*", L"expand-gbk-bad-trail",
     "a GBK lead byte before a byte that cannot follow it: Windows' and Wine's MultiByteToWideChar give one \"?\" "
     "for both bytes, the machine model's code page conversion (iconv, used for every ANSI file) U+FFFD and "
     "the second byte"},
    {"*", L"*", L"expand-gbk-lone-lead",
     "a GBK lead byte at the end of the data: Windows and Wine give \"?\", the machine model U+FFFD"},
    {"*", L"*", L"expand-gbk-ff",
     "byte 0xFF: Windows' code page 936 maps it to U+F8F5 (private use), iconv's GBK has no character for it "
     "and the machine model gives U+FFFD"},
};

std::string ReadFile(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// An export's keys, under whatever root it names.
struct Export {
  RegistryTree tree;
  RegFileImport result;
};

void Load(const std::string& bytes, Export& e) {
  e.result = ImportRegFile(
      bytes, [&](std::wstring_view root, std::wstring& path) -> RegistryTree* {
        path = std::wstring(root) + (path.empty() ? L"" : L"\\" + path);
        return &e.tree;
      },
      [](std::string_view b) { return Utf8ToWide(b); });
}

std::string Describe(const RegistryValue* v) {
  if (!v) return "(none)";
  std::string s = "type " + std::to_string(v->type) + ":";
  char hex[4];
  for (std::uint8_t b : v->data) {
    std::snprintf(hex, sizeof hex, " %02x", b);
    s += hex;
  }
  return s;
}

struct Comparison {
  std::string file;
  std::wstring top;  // the exported key's path in the trees
  int values = 0;
  int explained = 0;
  int unexplained = 0;
  std::set<const Known*> reasonsShown;  // each reason once

  const Known* Find(const std::wstring& key, const std::wstring& value) const {
    std::wstring below = key.size() > top.size() ? key.substr(top.size() + 1) : L"";
    for (const Known& k : kKnown)
      if ((std::string(k.file) == "*" || file == k.file) && (std::wstring(k.key) == L"*" || EqualsNoCase(k.key, below)) &&
          (std::wstring(k.value) == L"*" || k.value == value))
        return &k;
    return nullptr;
  }

  void Difference(const std::wstring& key, const std::wstring& value, const std::string& what) {
    std::string where = WideToUtf8(key) + (value == L"<key>" ? "" : " \"" + WideToUtf8(value) + "\"");
    if (const Known* k = Find(key, value)) {
      ++explained;
      std::cout << file << ": expected difference at " << where << ": " << what << "\n";
      if (reasonsShown.insert(k).second) std::cout << "    (" << k->reason << ")\n";
    } else {
      ++unexplained;
      std::cout << file << ": DIFFERENCE at " << where << ": " << what << "\n";
    }
  }

  void Keys(const RegistryKey* wine, const RegistryKey* ours, const std::wstring& path) {
    if (!wine || !ours) {
      Difference(path, L"<key>", wine ? "only Wine has the key" : "only kestrel-system has the key");
    }
    std::map<std::wstring, std::wstring> names;  // folded -> as written
    for (const RegistryKey* k : {wine, ours})
      if (k)
        for (const auto& entry : k->values()) names.emplace(ToUpperNoCase(entry.first), entry.first);
    for (const auto& [folded, name] : names) {
      ++values;
      const RegistryValue* a = wine ? wine->FindValue(name) : nullptr;
      const RegistryValue* b = ours ? ours->FindValue(name) : nullptr;
      if (!a || !b || !(*a == *b)) Difference(path, name, "Wine " + Describe(a) + ", kestrel-system " + Describe(b));
    }
    std::map<std::wstring, std::pair<const RegistryKey*, const RegistryKey*>> subkeys;
    if (wine)
      for (const auto& entry : wine->subkeys()) subkeys[entry.first].first = entry.second.get();
    if (ours)
      for (const auto& entry : ours->subkeys()) subkeys[entry.first].second = entry.second.get();
    for (const auto& [folded, pair] : subkeys) {
      const RegistryKey* any = pair.first ? pair.first : pair.second;
      Keys(pair.first, pair.second, path + L"\\" + any->name());
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: kestrel_regedit_compare FILE KEY WINE_EXPORT KESTREL_EXPORT\n";
    return 2;
  }
  Comparison c;
  c.file = argv[1];
  c.top = Utf8ToWide(argv[2]);
  bool wineFound = false, oursFound = false;
  std::string wineBytes = ReadFile(argv[3], wineFound), ourBytes = ReadFile(argv[4], oursFound);
  Export wine, ours;
  Load(wineBytes, wine);
  Load(ourBytes, ours);
  for (const Export* e : {&wine, &ours}) {
    if ((e == &wine ? wineFound : oursFound) && (!e->result.recognized || !e->result.problems.empty())) {
      std::cout << c.file << ": the export " << (e == &wine ? argv[3] : argv[4]) << " does not read back cleanly\n";
      ++c.unexplained;
    }
  }
  const RegistryKey* a = wine.tree.FindKey(c.top);
  const RegistryKey* b = ours.tree.FindKey(c.top);
  if (a || b) c.Keys(a, b, c.top);
  if (c.explained + c.unexplained == 0 && wineBytes != ourBytes) {
    std::cout << c.file << ": the same data, but the exports differ in their bytes (" << argv[3] << ", " << argv[4]
              << ")\n";
    ++c.unexplained;
  }
  std::cout << c.file << ": " << c.values << " values compared, " << c.explained << " expected differences, "
            << c.unexplained << " unexplained\n";
  return c.unexplained == 0 ? 0 : 1;
}
