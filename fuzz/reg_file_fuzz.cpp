// libFuzzer target: the registry-file importer, both versions.  The first
// input byte picks the form: a version 5 file (the rest read as UTF-16LE
// after the header), a REGEDIT4 file (the rest as ANSI text, Latin-1
// standing in), or the bytes as they are.  Promises checked:
//   - no key is deeper than 512 levels or has a name longer than 255
//     characters, and no value name is longer than 16,383;
//   - every problem names a line of the file;
//   - what was imported exports, and the export imports into empty hives
//     without a problem and gives the same hives back (the machine model
//     keeps its registry in such files).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/model/reg_file.h"
#include "text/utf.h"

namespace {
using namespace kestrel;
using fuzz::Check;
using fuzz::Latin1;

// Every key within the limits, walked without recursion.
void CheckLimits(const RegistryTree& tree) {
  std::vector<std::pair<const RegistryKey*, std::size_t>> pending{{&tree.root(), 0}};
  while (!pending.empty()) {
    auto [key, depth] = pending.back();
    pending.pop_back();
    Check(depth <= 512 && key->name().size() <= 255);
    for (const auto& value : key->values()) Check(value.first.size() <= 16383);
    for (const auto& sub : key->subkeys()) pending.emplace_back(sub.second.get(), depth + 1);
  }
}

void CheckRoundTrip(const RegistryTree& tree, const wchar_t* root, bool machine) {
  RegistryTree hklm, hkcu;
  RegFileImport again = ImportRegFile(ExportRegFile(tree, root), StandardHives(hklm, hkcu), Latin1);
  Check(again.recognized && again.problems.empty());
  Check((machine ? hklm : hkcu) == tree);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string bytes;
  switch (data[0] % 3) {
    case 0: bytes = "\xFF\xFE" + WideToUtf16Le(L"Windows Registry Editor Version 5.00\r\n") + std::string(rest); break;
    case 1: bytes = "REGEDIT4\r\n" + std::string(rest); break;
    default: bytes = std::string(rest); break;
  }
  RegistryTree hklm, hkcu;
  RegFileImport result = ImportRegFile(bytes, StandardHives(hklm, hkcu), Latin1);
  std::size_t lines = 1;
  for (char c : bytes) lines += c == '\n' || c == '\r';
  for (const RegFileProblem& problem : result.problems) Check(problem.line >= 1 && problem.line <= lines);
  CheckLimits(hklm);
  CheckLimits(hkcu);
  CheckRoundTrip(hklm, L"HKEY_LOCAL_MACHINE", true);
  CheckRoundTrip(hkcu, L"HKEY_CURRENT_USER", false);
  return 0;
}
