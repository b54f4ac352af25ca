// libFuzzer target: the reader and writer of Wine's registry files (the
// Linux machine model's registry).  Promises checked:
//   - a file read and written back without a change is the same bytes,
//     whether nothing, one key or every key was loaded;
//   - no loaded key is deeper than 512 levels or has a name longer than
//     255 characters;
//   - a value set and written is read back from the new bytes, and every
//     key that was there is still there.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/model/wine_registry_file.h"

namespace {
using namespace kestrel;
using fuzz::Check;

std::size_t CountKeys(const RegistryTree& tree) {
  std::size_t count = 0;
  std::vector<std::pair<const RegistryKey*, std::size_t>> pending{{&tree.root(), 0}};
  while (!pending.empty()) {
    auto [key, depth] = pending.back();
    pending.pop_back();
    ++count;
    Check(depth <= 512 && key->name().size() <= 255);
    for (const auto& sub : key->subkeys()) pending.emplace_back(sub.second.get(), depth + 1);
  }
  return count;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes = "WINE REGISTRY Version 2\n" + std::string(reinterpret_cast<const char*>(data), size);
  WineRegistryFile file;
  Check(ReadWineRegistry(bytes, file));
  RegistryTree tree;
  WineRegistryFile untouched = file;
  Check(WriteWineRegistry(tree, untouched, 1) == bytes);
  LoadWineKey(file, tree, L"Software\\Foo", false);
  WineRegistryFile one = file;
  Check(WriteWineRegistry(tree, one, 1) == bytes);
  LoadWineKey(file, tree, L"", true);
  std::size_t keys = CountKeys(tree);
  WineRegistryFile all = file;
  Check(WriteWineRegistry(tree, all, 1) == bytes);

  std::string text = "x";
  RegistryValue value{1, {'x', 0, 0, 0}};
  tree.SetValue(L"Kx\\Fuzz", L"V", value);
  std::string written = WriteWineRegistry(tree, file, 2);
  WineRegistryFile again;
  Check(ReadWineRegistry(written, again));
  RegistryTree back;
  LoadWineKey(again, back, L"", true);
  const RegistryValue* found = back.FindValue(L"Kx\\Fuzz", L"V");
  Check(found && *found == value);
  Check(CountKeys(back) >= keys);
  return 0;
}
