#include "skin/zip_entry_info.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/zip_builder.h"

namespace kestrel {
namespace {

using testing::ExtraBlock;
using testing::UtBlock;

std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 |
                                    second / 2);
}

TEST(ZipEntryInfoTest, AttributesFollowTheExternalBits) {
  struct Case {
    std::uint32_t external;
    std::uint32_t attributes;
  } cases[] = {
      {0x81A40000, 0x80},               // -rw-r--r--: owner may write
      {0x81240000, 0x81},               // -r--r--r--: read-only
      {0x00000000, 0x81},               // made on DOS: no Unix bits, so read-only
      {0x81A40001, 0x81},               // DOS read-only bit
      {0x41FF0010, 0x90},               // directory by its DOS bit
      {0x40800000, 0x90},               // directory by bit 30 alone
      {0x81A40020, 0xA0},               // archive
      {0x81A40002, 0x82},               // hidden
      {0x81A40004, 0x84},               // system
      {0x81A40037, 0x90 | 0x20 | 0x02 | 0x01 | 0x04},
  };
  for (const Case& c : cases) EXPECT_EQ(ZipAttributes(c.external), c.attributes) << std::hex << c.external;
}

TEST(ZipEntryInfoTest, DosTimesConvertAsTheyStandAndInvalidOnesGiveZero) {
  struct Case {
    std::uint32_t dos;
    std::uint64_t fileTime;
  } cases[] = {
      {Dos(1980, 1, 1, 0, 0, 0), 119600064000000000},
      {Dos(2024, 1, 1, 0, 0, 0), 133485408000000000},
      {Dos(2020, 2, 29, 12, 34, 56), 132274532960000000},
      {Dos(2107, 12, 31, 23, 59, 58), 159992927980000000},
      {0, 0},                                 // month 0: what archives without times hold
      {Dos(2021, 2, 29, 0, 0, 0), 0},         // no 29 February in 2021
      {Dos(2020, 13, 1, 0, 0, 0), 0},
      {Dos(2020, 1, 1, 24, 0, 0), 0},
      {Dos(2020, 1, 1, 0, 60, 0), 0},
      {Dos(2020, 1, 1, 0, 0, 0) | 30, 0},     // 60 seconds
  };
  for (const Case& c : cases) EXPECT_EQ(ZipDosTimeToFileTime(c.dos), c.fileTime) << std::hex << c.dos;
}

TEST(ZipEntryInfoTest, UnixTimesAreSignedSeconds) {
  EXPECT_EQ(ZipUnixTimeToFileTime(0), 116444736000000000u);
  EXPECT_EQ(ZipUnixTimeToFileTime(1509509517), 131539831170000000u);
  EXPECT_EQ(ZipUnixTimeToFileTime(0x7FFFFFFF), 137919572470000000u);
  EXPECT_EQ(ZipUnixTimeToFileTime(INT32_MIN), 94969899520000000u);
}

TEST(ZipEntryInfoTest, TheFirstUtBlockReplacesTheTimesItsFlagsName) {
  const std::uint32_t dos = Dos(2024, 1, 1, 0, 0, 0);
  const std::uint64_t d = 133485408000000000;
  const std::uint64_t t1 = ZipUnixTimeToFileTime(1000), t2 = ZipUnixTimeToFileTime(2000),
                      t3 = ZipUnixTimeToFileTime(3000);
  struct Case {
    const char* what;
    std::string extra;
    std::uint64_t modified, accessed, created;
  } cases[] = {
      {"none", "", d, d, d},
      {"modified and accessed", UtBlock(3, {1000, 2000}), t1, t2, d},
      {"all three", UtBlock(7, {1000, 2000, 3000}), t1, t2, t3},
      {"accessed only", UtBlock(2, {2000}), d, t2, d},
      {"after another block", ExtraBlock(0x7875, "\x01\x04\xe8\x03\x00\x00") + UtBlock(1, {1000}), t1, d, d},
      {"only the first UT block counts", UtBlock(1, {1000}) + UtBlock(1, {3000}), t1, d, d},
      // Central-directory style: flags say two times, the block holds one.
      {"flags beyond the block", ExtraBlock(0x5455, std::string("\x03\xe8\x03\x00\x00", 5)), t1, d, d},
      {"block cut by the field's end", UtBlock(3, {1000, 2000}).substr(0, 11), t1, d, d},
      {"empty UT block", ExtraBlock(0x5455, ""), d, d, d},
      {"head only", std::string("UT", 2) + std::string("\x05\x00", 2), d, d, d},
      {"other block claims more than the field", ExtraBlock(0x0001, "abc").substr(0, 4) + "xyz", d, d, d},
  };
  for (const Case& c : cases) {
    ZipEntryInfo info;
    ZipEntryTimes(dos, c.extra, info);
    EXPECT_EQ(info.modificationTime, c.modified) << c.what;
    EXPECT_EQ(info.accessTime, c.accessed) << c.what;
    EXPECT_EQ(info.creationTime, c.created) << c.what;
  }
}

}  // namespace
}  // namespace kestrel
