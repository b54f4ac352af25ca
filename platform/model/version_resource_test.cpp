#include "platform/model/version_resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

namespace kestrel {
namespace {

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::size_t kRsrcFile = 0x200;

/// A resource section holding one version resource: type 16, name 1,
/// language 0x409, its data entry at 0x48 and the block at 0x58.
std::vector<std::uint8_t> ResourceSection(const std::vector<std::uint8_t>& block) {
  std::vector<std::uint8_t> r(0x58);
  Put16(r, 0x0E, 1);  // root: one id entry
  Put32(r, 0x10, 16);
  Put32(r, 0x14, 0x80000000u | 0x18);
  Put16(r, 0x18 + 0x0E, 1);
  Put32(r, 0x28, 1);
  Put32(r, 0x2C, 0x80000000u | 0x30);
  Put16(r, 0x30 + 0x0E, 1);
  Put32(r, 0x40, 0x409);
  Put32(r, 0x44, 0x48);
  Put32(r, 0x48, kRsrcRva + 0x58);
  Put32(r, 0x4C, static_cast<std::uint32_t>(block.size()));
  r.insert(r.end(), block.begin(), block.end());
  return r;
}

/// A minimal PE image (PE32 or PE32+) with one section, .rsrc.
std::vector<std::uint8_t> PeImage(bool plus, const std::vector<std::uint8_t>& rsrc) {
  std::vector<std::uint8_t> b(kRsrcFile);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  Put32(b, 0x40, 0x00004550);
  const std::size_t coff = 0x44, opt = coff + 20;
  const std::uint32_t optSize = plus ? 240 : 224;
  Put16(b, coff, plus ? 0x8664 : 0x14C);
  Put16(b, coff + 2, 1);
  Put16(b, coff + 16, optSize);
  Put16(b, opt, plus ? 0x20B : 0x10B);
  const std::size_t dirs = opt + (plus ? 112 : 96);
  Put32(b, opt + (plus ? 108 : 92), 16);
  Put32(b, dirs + 16, kRsrcRva);
  Put32(b, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
  const std::size_t section = opt + optSize;
  for (int i = 0; i < 5; ++i) b[section + i] = static_cast<std::uint8_t>(".rsrc"[i]);
  Put32(b, section + 8, static_cast<std::uint32_t>(rsrc.size()));
  Put32(b, section + 12, kRsrcRva);
  Put32(b, section + 16, static_cast<std::uint32_t>(rsrc.size()));
  Put32(b, section + 20, kRsrcFile);
  b.insert(b.end(), rsrc.begin(), rsrc.end());
  return b;
}

std::vector<std::uint8_t> ReadTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string bytes = s.str();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool VersionOf(const std::vector<std::uint8_t>& image, FixedFileInfo& info, std::uint32_t& error) {
  std::vector<std::uint8_t> block;
  return ReadVersionResource(image, block, error) && ParseFixedFileInfo(block, info);
}

TEST(VersionResource, ReadsTheVersionOfARealDll) {
  std::vector<std::uint8_t> image = ReadTestFile(KESTREL_TESTDATA "/pe/version64.dll");
  ASSERT_GT(image.size(), 1000u);
  FixedFileInfo info;
  std::uint32_t error = 99;
  ASSERT_TRUE(VersionOf(image, info, error));
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(info.fileVersionMS, (10u << 16) | 0u);
  EXPECT_EQ(info.fileVersionLS, (40219u << 16) | 1u);
  EXPECT_EQ(info.fileOS, 0x40004u);
}

TEST(VersionResource, ReadsBothImageKinds) {
  std::vector<std::uint8_t> block = BuildVersionInfoBlock(MakeFileVersion(1, 2, 3, 4));
  for (bool plus : {false, true}) {
    FixedFileInfo info;
    std::uint32_t error;
    ASSERT_TRUE(VersionOf(PeImage(plus, ResourceSection(block)), info, error)) << plus;
    EXPECT_EQ(info.fileVersionMS, 0x00010002u);
    EXPECT_EQ(info.fileVersionLS, 0x00030004u);
  }
}

TEST(VersionResource, CorruptOrHostileImagesGiveNoVersion) {
  const std::vector<std::uint8_t> block = BuildVersionInfoBlock(MakeFileVersion(1, 2, 3, 4));
  const std::vector<std::uint8_t> good = PeImage(true, ResourceSection(block));
  const std::size_t rsrc = kRsrcFile;
  const std::size_t section = 0x44 + 20 + 240;
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"not MZ", [](auto& b) { b[0] = 'X'; }, win::kBadFormat},
      {"PE header past the end", [](auto& b) { Put32(b, 0x3C, 0x7FFFFFF0); }, win::kBadFormat},
      {"unknown optional header", [](auto& b) { Put16(b, 0x44 + 20, 0x30B); }, win::kBadFormat},
      {"65535 sections", [](auto& b) { Put16(b, 0x44 + 2, 0xFFFF); }, win::kBadFormat},
      {"no resource directory", [](auto& b) { Put32(b, 0x44 + 20 + 112 + 16, 0); }, win::kResourceDataNotFound},
      {"only two data directories", [](auto& b) { Put32(b, 0x44 + 20 + 108, 2); }, win::kResourceDataNotFound},
      {"resources outside every section", [](auto& b) { Put32(b, 0x44 + 20 + 112 + 16, 0x90000); }, win::kBadFormat},
      {"section data past the end", [=](auto& b) { Put32(b, section + 20, 0x7FFFFFFF); }, win::kBadFormat},
      {"no version type", [=](auto& b) { Put32(b, rsrc + 0x10, 3); }, win::kResourceTypeNotFound},
      {"type entry loops to the root", [=](auto& b) { Put32(b, rsrc + 0x14, 0x80000000u); },
       win::kResourceTypeNotFound},
      {"name entry loops to its own level", [=](auto& b) { Put32(b, rsrc + 0x2C, 0x80000000u | 0x18); },
       win::kBadFormat},
      {"language entry is a fourth level", [=](auto& b) { Put32(b, rsrc + 0x44, 0x80000000u | 0x30); },
       win::kBadFormat},
      {"type entry is data, not a folder", [=](auto& b) { Put32(b, rsrc + 0x14, 0x48); }, win::kBadFormat},
      {"directory offset past the end", [=](auto& b) { Put32(b, rsrc + 0x14, 0xFFFFFFFFu); }, win::kBadFormat},
      {"entry count past the end, no match", [=](auto& b) {
         Put32(b, rsrc + 0x28, 7);
         Put16(b, rsrc + 0x18 + 0x0C, 0xFFFF);
       }, win::kResourceTypeNotFound},
      {"data past the end", [=](auto& b) { Put32(b, rsrc + 0x48, 0x7FFFFFF0); }, win::kBadFormat},
      {"data of 4 GB", [=](auto& b) { Put32(b, rsrc + 0x4C, 0xFFFFFFFFu); }, win::kBadFormat},
      {"empty data", [=](auto& b) { Put32(b, rsrc + 0x4C, 0); }, win::kBadFormat},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image = good;
    c.damage(image);
    std::vector<std::uint8_t> out;
    std::uint32_t error = 0;
    EXPECT_FALSE(ReadVersionResource(image, out, error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
  // A count that runs past the section is cut to the entries that are there.
  std::vector<std::uint8_t> longCount = good;
  Put16(longCount, rsrc + 0x18 + 0x0C, 0xFFFF);
  FixedFileInfo info;
  std::uint32_t error;
  ASSERT_TRUE(VersionOf(longCount, info, error));
  EXPECT_EQ(info.fileVersionMS, 0x00010002u);

  // Every truncation that cuts into the version block loses it.
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(VersionOf(cut, info, error)) << size;
  }
}

TEST(VersionResource, FixedPartMustBeThereAndSigned) {
  std::vector<std::uint8_t> good = BuildVersionInfoBlock(MakeFileVersion(10, 0, 40219, 1));
  FixedFileInfo info;
  ASSERT_TRUE(ParseFixedFileInfo(good, info));
  EXPECT_EQ(info.signature, win::kFixedFileInfoSignature);
  EXPECT_EQ(info.fileVersionLS, (40219u << 16) | 1u);

  std::vector<std::uint8_t> noValue = good;
  Put16(noValue, 2, 0);
  EXPECT_FALSE(ParseFixedFileInfo(noValue, info));
  std::vector<std::uint8_t> badSignature = good;
  Put32(badSignature, 40, 0x12345678);
  EXPECT_FALSE(ParseFixedFileInfo(badSignature, info));
  std::vector<std::uint8_t> shortLength = good;
  Put16(shortLength, 0, 60);  // the block says it ends inside the fixed part
  EXPECT_FALSE(ParseFixedFileInfo(shortLength, info));
  std::vector<std::uint8_t> unterminatedKey(good.begin(), good.begin() + 20);
  EXPECT_FALSE(ParseFixedFileInfo(unterminatedKey, info));
  EXPECT_FALSE(ParseFixedFileInfo({}, info));
}

TEST(VersionBlockPair, KeptBlockServesOnlyTheSameFileInTheSameState) {
  const FileState sizeCall{1, 2, 300, 40, 5};
  auto changed = [&](auto change) {
    FileState s = sizeCall;
    change(s);
    return s;
  };
  struct Case {
    const char* what;
    std::string key;
    std::optional<FileState> current;
    bool secondDataCall;
    int reads;  // size call included
  };
  const Case cases[] = {
      {"same file, same state", "a", sizeCall, false, 1},
      {"another file", "b", sizeCall, false, 2},
      {"state unknown", "a", std::nullopt, false, 2},
      {"other device", "a", changed([](FileState& s) { s.device = 9; }), false, 2},
      {"other inode", "a", changed([](FileState& s) { s.inode = 9; }), false, 2},
      {"other size", "a", changed([](FileState& s) { s.size = 301; }), false, 2},
      {"later second", "a", changed([](FileState& s) { s.modifiedSeconds = 41; }), false, 2},
      {"later nanosecond", "a", changed([](FileState& s) { s.modifiedNanoseconds = 6; }), false, 2},
      {"handed out once", "a", sizeCall, true, 2},
  };
  for (const Case& c : cases) {
    VersionBlockPair pair;
    int reads = 0;
    auto read = [&](std::vector<std::uint8_t>& block, FileState& state, std::uint32_t&) {
      block.assign(8, static_cast<std::uint8_t>(++reads));
      state = sizeCall;
      return true;
    };
    std::uint32_t error = 1;
    ASSERT_EQ(pair.Size("a", read, error), 8u) << c.what;
    std::vector<std::uint8_t> block;
    const FileState* current = c.current ? &*c.current : nullptr;
    ASSERT_TRUE(pair.Data(c.key, current, 5, read, block, error)) << c.what;
    if (c.secondDataCall) {
      ASSERT_TRUE(pair.Data(c.key, current, 5, read, block, error)) << c.what;
    }
    EXPECT_EQ(reads, c.reads) << c.what;
    EXPECT_EQ(block, std::vector<std::uint8_t>(5, static_cast<std::uint8_t>(reads))) << c.what << ": cut to the size";
    EXPECT_EQ(error, 0u) << c.what;
  }
}

TEST(VersionBlockPair, FailedSizeCallKeepsNothing) {
  VersionBlockPair pair;
  const FileState state{1, 2, 3, 4, 5};
  bool present = false;
  auto read = [&](std::vector<std::uint8_t>& block, FileState& s, std::uint32_t& error) {
    s = state;
    if (!present) {
      error = win::kResourceTypeNotFound;
      return false;
    }
    block.assign(4, 7);
    return true;
  };
  std::uint32_t error = 0;
  EXPECT_EQ(pair.Size("a", read, error), 0u);
  EXPECT_EQ(error, win::kResourceTypeNotFound);
  std::vector<std::uint8_t> block;
  EXPECT_FALSE(pair.Data("a", &state, 4, read, block, error)) << "the failed read is not taken for a block";
  present = true;
  EXPECT_TRUE(pair.Data("a", &state, 4, read, block, error));
  EXPECT_EQ(block, std::vector<std::uint8_t>(4, 7));
}

}  // namespace
}  // namespace kestrel
