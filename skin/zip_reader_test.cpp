#include "skin/zip_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "skin/zip_test_support.h"
#include "tests/support/gbk_test_platform.h"
#include "tests/support/zip_builder.h"

namespace kestrel {
namespace {

using testing::ExtractAll;
using testing::OpenedZip;
using testing::SampleContent;
using testing::ZipBuilder;

std::string ReadTestData(const std::string& name) {
  std::ifstream in(std::string(KESTREL_TESTDATA) + "/zip/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

/// A small skin-like archive: a deflated and a stored entry.
ZipBuilder TwoEntries() {
  ZipBuilder zip;
  zip.Add("Skin/wnd_00.png", SampleContent(40000, 1), 8);
  zip.Add("Skin/wnd_01.png", SampleContent(3000, 2), 0);
  return zip;
}

class ZipReaderTest : public ::testing::Test {
 protected:
  testing::GbkTestPlatform os;
};

// --- Opening -----------------------------------------------------------------

TEST_F(ZipReaderTest, OpenRefusesWhatIsNoReadableArchive) {
  ZipBuilder sound = TwoEntries();
  std::string good = sound.Build();
  ZipBuilder split = TwoEntries();
  split.thisDisk = 1;
  ZipBuilder splitStart = TwoEntries();
  splitStart.centralDisk = 1;
  ZipBuilder counts = TwoEntries();
  counts.entriesOnDisk = 1;
  ZipBuilder pastEnd = TwoEntries();
  pastEnd.centralOffset = 0x7FFFFFF0;
  ZipBuilder tooBig = TwoEntries();
  tooBig.centralSize = 0xFFFFFFFF;
  ZipBuilder longComment = TwoEntries();
  longComment.comment = std::string(65535, 'c');
  ZipBuilder justOverWindow = TwoEntries();
  justOverWindow.comment = std::string(65514, 'c');  // the end record starts 65536 bytes from the end
  ZipBuilder emptyArchive;                            // an end record alone, at position 0

  struct Case {
    const char* what;
    std::string bytes;
    ZipOpenFailure failure;
  } cases[] = {
      {"zero bytes", "", ZipOpenFailure::kNoEndRecord},
      {"three bytes", "PK\x05", ZipOpenFailure::kNoEndRecord},
      {"text", ReadTestData("readme.notzip"), ZipOpenFailure::kNoEndRecord},
      {"end record cut short", good.substr(0, good.size() - 5), ZipOpenFailure::kEndRecordCut},
      {"cut inside the directory", good.substr(0, good.size() - 30), ZipOpenFailure::kNoEndRecord},
      {"this disk 1", split.Build(), ZipOpenFailure::kSplitArchive},
      {"directory on disk 1", splitStart.Build(), ZipOpenFailure::kSplitArchive},
      {"entry counts differ", counts.Build(), ZipOpenFailure::kSplitArchive},
      {"directory offset past the end", pastEnd.Build(), ZipOpenFailure::kDirectoryPastEnd},
      {"directory size past the end", tooBig.Build(), ZipOpenFailure::kDirectoryPastEnd},
      {"comment of 65535 bytes", longComment.Build(), ZipOpenFailure::kNoEndRecord},
      {"end record 65536 bytes from the end", justOverWindow.Build(), ZipOpenFailure::kNoEndRecord},
      {"end record at position 0", emptyArchive.Build(), ZipOpenFailure::kNoEndRecord},
  };
  for (Case& c : cases) {
    OpenedZip zip(os, c.bytes);
    EXPECT_EQ(zip.handle(), kNoArchive) << c.what;
    EXPECT_EQ(zip.failure(), c.failure) << c.what;
  }
}

TEST_F(ZipReaderTest, TheEndRecordIsFoundWithinTheLast65535BytesAtAnyWindowPosition) {
  // Comments of every length up to 3000 move the signature across the
  // 1024-byte search steps, so some of them straddle a window edge; 65513
  // puts the end record's first byte exactly 65535 bytes from the end.
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 3000; ++n) lengths.push_back(n);
  for (std::size_t n : {65000u, 65512u, 65513u}) lengths.push_back(n);
  const testing::ZipLayout base = TwoEntries().Layout();
  for (std::size_t n : lengths) {
    std::string bytes = base.bytes;
    bytes[base.endRecord + 20] = static_cast<char>(n & 0xFF);
    bytes[base.endRecord + 21] = static_cast<char>(n >> 8);
    bytes += std::string(n, 'x');
    OpenedZip zip(os, bytes);
    ASSERT_NE(zip.handle(), kNoArchive) << "comment of " << n;
    int index = -1;
    EXPECT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_01.png", &index, nullptr), ResultOk) << n;
    EXPECT_EQ(index, 1);
  }
}

TEST_F(ZipReaderTest, TheSignatureNearestTheEndWins) {
  // A comment holding a second end record that points nowhere useful:
  // the reader takes the one nearest the end, as stored.
  ZipBuilder inner = TwoEntries();
  inner.centralOffset = 0x7FFFFFF0;
  std::string fake = inner.Layout().bytes.substr(inner.Layout().endRecord);
  ZipBuilder outer = TwoEntries();
  outer.comment = "note " + fake;
  OpenedZip zip(os, outer.Build());
  EXPECT_EQ(zip.handle(), kNoArchive);
  EXPECT_EQ(zip.failure(), ZipOpenFailure::kDirectoryPastEnd);

  ZipBuilder trailing = TwoEntries();
  trailing.trailer = "junk after the end record";
  OpenedZip junk(os, trailing.Build());
  EXPECT_NE(junk.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(junk.handle(), L"Skin/wnd_00.png", nullptr, nullptr), ResultOk);
}

TEST_F(ZipReaderTest, AStubInFrontShiftsEveryOffset) {
  const ZipBuilder plain = TwoEntries();
  ZipBuilder stub = TwoEntries();
  stub.prefix = std::string(20, 'S');
  for (ZipBuilder* b : {const_cast<ZipBuilder*>(&plain), &stub}) {
    OpenedZip zip(os, b->Build());
    ASSERT_NE(zip.handle(), kNoArchive);
    ZipListing listing;
    ASSERT_EQ(ListArchiveItems(zip.handle(), listing), ResultOk);
    EXPECT_EQ(listing.prefixLength, b->prefix.size());
    for (int i = 0; i < 2; ++i) {
      auto out = ExtractAll(zip.handle(), i, 1 << 20);
      EXPECT_TRUE(out.data == plain.entries[i].data) << i;
    }
  }
}

TEST_F(ZipReaderTest, GoArchivesOpenAndExtractByTheReadersRules) {
  const std::string text = "This is a test text file.\n";
  const std::string gopher = ReadTestData("gophercolor16x16.png");
  struct Case {
    const char* file;
    const wchar_t* name;
    ZipResult found;
    std::string content;
  } cases[] = {
      {"test.zip", L"test.txt", ResultOk, text},
      {"test.zip", L"gophercolor16x16.png", ResultOk, gopher},
      {"test-prefix.zip", L"gophercolor16x16.png", ResultOk, gopher},
      {"test-trailing-junk.zip", L"test.txt", ResultOk, text},
      {"dd.zip", L"filename", ResultOk, "This is a test textfile.\n"},
      {"crc32-not-streamed.zip", L"bar.txt", ResultOk, "bar\n"},
      {"go-with-datadesc-sig.zip", L"bar.txt", ResultOk, "bar\n"},
      {"unix.zip", L"dir/bar", ResultOk, "foo \r\n"},
      {"unix.zip", L"dir/BAR", ResultNotFound, ""},
      {"unix.zip", L"dir\\bar", ResultNotFound, ""},
      // The directory's stated offset is 1 byte off: the shift is taken to
      // be a stub, and the local header then is not where it says.
      {"test-badbase.zip", L"gophercolor16x16.png", ResultCorrupt, ""},
      // The name is stored in UTF-8, the lookup is in the ANSI code page.
      {"utf8-infozip.zip", L"世界", ResultNotFound, ""},
  };
  for (const Case& c : cases) {
    OpenedZip zip(os, ReadTestData(c.file));
    ASSERT_NE(zip.handle(), kNoArchive) << c.file;
    int index = -2;
    ZipEntryInfo info;
    EXPECT_EQ(FindArchiveItem(zip.handle(), c.name, &index, &info), c.found) << c.file;
    if (c.found != ResultOk) continue;
    EXPECT_EQ(info.uncompressedSize, c.content.size()) << c.file;
    auto out = ExtractAll(zip.handle(), index, info.uncompressedSize + 1);
    EXPECT_TRUE(out.data == c.content) << c.file;
    EXPECT_EQ(out.last(), ResultOk) << c.file;
  }
  // ZIP64's 0xFFFFFFFF markers: the reader knows no ZIP64 records.
  OpenedZip zip64(os, ReadTestData("zip64.zip"));
  EXPECT_EQ(zip64.handle(), kNoArchive);
  EXPECT_EQ(zip64.failure(), ZipOpenFailure::kDirectoryPastEnd);
  // A directory size 16 bytes short reads as a 16-byte stub: the shifted
  // directory offset finds no header, so nothing can be found.
  OpenedZip badSize(os, ReadTestData("test-baddirsz.zip"));
  ASSERT_NE(badSize.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(badSize.handle(), L"test.txt", nullptr, nullptr), ResultNotFound);
}

TEST_F(ZipReaderTest, GoArchivesGiveTheirAttributesAndTimes) {
  OpenedZip unix(os, ReadTestData("unix.zip"));
  struct Case {
    const wchar_t* name;
    std::uint32_t attributes;
  } cases[] = {{L"hello", 0x80}, {L"readonly", 0x81}, {L"dir/empty/", 0x90}};
  for (const Case& c : cases) {
    ZipEntryInfo info;
    ASSERT_EQ(FindArchiveItem(unix.handle(), c.name, nullptr, &info), ResultOk);
    EXPECT_EQ(info.attributes, c.attributes);
    EXPECT_EQ(info.name, c.name);
  }
  // Info-ZIP: a local UT block with modification and access times.
  OpenedZip infozip(os, ReadTestData("time-infozip.zip"));
  ZipEntryInfo info;
  ASSERT_EQ(FindArchiveItem(infozip.handle(), L"test.txt", nullptr, &info), ResultOk);
  EXPECT_EQ(info.modificationTime, 131539831170000000u);
  EXPECT_EQ(info.accessTime, 131539831170000000u);
  EXPECT_EQ(info.creationTime, 131539579180000000u);  // the DOS time, local as stored
}

// --- Lookup ------------------------------------------------------------------

TEST_F(ZipReaderTest, NamesMatchByteForByteInTheAnsiCodePage) {
  ZipBuilder builder;
  builder.Add("Skin/wnd_00.png", "plain");
  builder.Add("SKIN/WND_01.PNG", "upper");
  builder.Add("Skin\\wnd_02.png", "backslash");
  builder.Add("Skin/\xB1\xB3\xBE\xB0.png", "gbk");                    // Skin/背景.png in GBK
  builder.Add("Skin/\xE5\x85\xB3\xE9\x97\xAD.png", "utf-8");          // Skin/关闭.png in UTF-8
  builder.Add("Skin/wnd_00.png", "second of the same name");
  builder.Add("", "empty name");
  builder.Add(std::string(255, 'n'), "255 bytes");
  builder.Add(std::string(300, 'm'), "300 bytes");
  OpenedZip zip(os, builder.Build());
  ASSERT_NE(zip.handle(), kNoArchive);

  struct Case {
    std::wstring name;
    int index;
  } cases[] = {
      {L"Skin/wnd_00.png", 0},  // the first of two equal names wins
      {L"skin/wnd_00.png", -1},
      {L"Skin/wnd_00.PNG", -1},
      {L"SKIN/WND_01.PNG", 1},
      {L"Skin/wnd_01.png", -1},
      {L"Skin/wnd_02.png", -1},
      {L"Skin\\wnd_02.png", 2},
      {L"Skin/背景.png", 3},
      {L"Skin/关闭.png", -1},
      {L"Skin/wnd_00.png ", -1},
      {L"Skin/wnd_00", -1},
      {L"", 6},
      {std::wstring(255, L'n'), 7},
      {std::wstring(256, L'n'), -1},
      {std::wstring(300, L'm'), -1},  // 256 characters or more are never found
      {std::wstring(255, L'm'), -1},
  };
  for (const Case& c : cases) {
    int index = -2;
    ZipEntryInfo info;
    info.index = 99;
    ZipResult r = FindArchiveItem(zip.handle(), c.name, &index, &info);
    EXPECT_EQ(r, c.index < 0 ? ResultNotFound : ResultOk) << c.index;
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(info.index, c.index);
    if (c.index < 0) {
      EXPECT_EQ(info, ZipEntryInfo{});
    }
  }
  // A name whose characters the code page lacks is not cut or guessed: 128
  // Chinese characters make 256 bytes, over the 258 a name may take only
  // with 130.
  EXPECT_EQ(FindArchiveItem(zip.handle(), std::wstring(130, L'背'), nullptr, nullptr), ResultNotFound);
}

TEST_F(ZipReaderTest, ALookupReportsTheEntrysInfo) {
  ZipBuilder builder;
  auto& e = builder.Add("Skin/wnd_00.png", SampleContent(5000), 8);
  e.dosDateTime = 0x505d645c;  // 2020-02-29 12:34:56
  e.externalAttributes = 0x81240020;
  e.localExtra = testing::UtBlock(3, {1509509517, 0x7FFFFFFF});
  OpenedZip zip(os, builder.Build());
  ZipEntryInfo info;
  int index = -1;
  ASSERT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", &index, &info), ResultOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(info.index, 0);
  EXPECT_EQ(info.name, L"Skin/wnd_00.png");
  EXPECT_EQ(info.attributes, 0x80u | 0x20 | 0x01);
  EXPECT_EQ(info.modificationTime, 131539831170000000u);
  EXPECT_EQ(info.accessTime, 137919572470000000u);
  EXPECT_EQ(info.creationTime, 132274532960000000u);
  EXPECT_EQ(info.uncompressedSize, 5000u);
  EXPECT_EQ(info.compressedSize, testing::RawDeflate(e.data).size());
}

TEST_F(ZipReaderTest, ALocalHeaderThatDisagreesMakesTheEntryCorrupt) {
  using Entry = testing::ZipBuilderEntry;
  struct Case {
    const char* what;
    void (*change)(Entry&);
    ZipResult result;
  } cases[] = {
      {"sound", [](Entry&) {}, ResultOk},
      {"local signature", [](Entry& e) { e.localSignature = 0x04034b51; }, ResultCorrupt},
      {"methods differ", [](Entry& e) { e.localMethod = 0; }, ResultCorrupt},
      {"bzip2 in both", [](Entry& e) { e.method = 12; }, ResultCorrupt},
      {"CRC differs", [](Entry& e) { e.localCrc = 1; }, ResultCorrupt},
      {"compressed size differs", [](Entry& e) { e.localCompressedSize = 1; }, ResultCorrupt},
      {"uncompressed size differs", [](Entry& e) { e.localUncompressedSize = 1; }, ResultCorrupt},
      {"sizes differ under a data descriptor",
       [](Entry& e) {
         e.flags = 8;
         e.localCrc = 1;
         e.localCompressedSize = 2;
         e.localUncompressedSize = 3;
       },
       ResultOk},
      {"name lengths differ", [](Entry& e) { e.localNameLength = 14; }, ResultCorrupt},
      {"local header past the end", [](Entry& e) { e.centralLocalOffset = 0x7FFFFFFF; }, ResultCorrupt},
      {"local header cut by the end", [](Entry& e) { e.centralLocalOffset = 0xFFFFFFFF; }, ResultCorrupt},
      {"local extra runs past the end", [](Entry& e) { e.localExtraLength = 0xFFFF; }, ResultRead},
  };
  for (const Case& c : cases) {
    ZipBuilder builder;
    builder.Add("Skin/wnd_00.png", SampleContent(100), 8);
    c.change(builder.entries[0]);
    OpenedZip zip(os, builder.Build());
    ASSERT_NE(zip.handle(), kNoArchive) << c.what;
    int index = -2;
    EXPECT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", &index, nullptr), c.result) << c.what;
    EXPECT_EQ(index, 0) << c.what;
    // Extraction checks the same header.
    auto out = ExtractAll(zip.handle(), 0, 1000);
    EXPECT_EQ(out.last(), c.result == ResultOk ? ResultOk : ResultInflate) << c.what;
  }
}

TEST_F(ZipReaderTest, ABadCentralHeaderEndsTheDirectory) {
  ZipBuilder builder;
  builder.Add("a", "1");
  builder.Add("b", "2");
  builder.Add("c", "3");
  testing::ZipLayout layout = builder.Layout();
  layout.bytes[layout.centralOffsets[1]] = 'X';  // entry 1's signature
  OpenedZip zip(os, layout.bytes);
  ASSERT_NE(zip.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"a", nullptr, nullptr), ResultOk);
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"c", nullptr, nullptr), ResultNotFound);
  EXPECT_EQ(ExtractAll(zip.handle(), 2, 10).last(), ResultInflate);
  EXPECT_EQ(ExtractAll(zip.handle(), 0, 10).data, "1");
  ZipListing listing;
  ListArchiveItems(zip.handle(), listing);
  EXPECT_EQ(listing.totalEntries, 3u);
  EXPECT_EQ(listing.items.size(), 1u);

  // A bad first header: the archive opens with nothing to find.
  testing::ZipLayout first = builder.Layout();
  first.bytes[first.centralOffsets[0] + 1] = 'X';
  OpenedZip empty(os, first.bytes);
  ASSERT_NE(empty.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(empty.handle(), L"a", nullptr, nullptr), ResultNotFound);
  EXPECT_EQ(ExtractAll(empty.handle(), 0, 10).last(), ResultInflate);
}

TEST_F(ZipReaderTest, HostileDirectoriesEndTheWalkWithoutReadingOutside) {
  // 65535 entries claimed, a directory of one header: the walk stops at
  // the first header that is not there.
  ZipBuilder many;
  many.Add("only", "x");
  many.totalEntries = 0xFFFF;
  many.entriesOnDisk = 0xFFFF;
  OpenedZip zip(os, many.Build());
  ASSERT_NE(zip.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"missing", nullptr, nullptr), ResultNotFound);
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"only", nullptr, nullptr), ResultOk);
  EXPECT_EQ(ExtractAll(zip.handle(), 65534, 10).last(), ResultInflate);
  EXPECT_EQ(ExtractAll(zip.handle(), 65535, 10).last(), ResultArgs);

  // A name length running past the end of the data.
  ZipBuilder longName;
  longName.Add("n", "x").centralNameLength = 0xFFFF;
  OpenedZip cut(os, longName.Build());
  ASSERT_NE(cut.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(cut.handle(), L"n", nullptr, nullptr), ResultNotFound);

  // Zero entries stated: nothing is found even though a header follows.
  ZipBuilder none;
  none.Add("a", "1");
  none.totalEntries = 0;
  none.entriesOnDisk = 0;
  OpenedZip zero(os, none.Build());
  ASSERT_NE(zero.handle(), kNoArchive);
  EXPECT_EQ(FindArchiveItem(zero.handle(), L"a", nullptr, nullptr), ResultNotFound);
  EXPECT_EQ(ExtractAll(zero.handle(), 0, 10).last(), ResultArgs);
}

TEST_F(ZipReaderTest, ARepeatedLookupReturnsTheRememberedRecord) {
  ZipBuilder builder = TwoEntries();
  testing::ZipLayout layout = builder.Layout();
  OpenedZip zip(os, layout.bytes);
  ZipEntryInfo first, again;
  ASSERT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", nullptr, &first), ResultOk);
  // The reader works on the caller's bytes: break the local header now.
  zip.bytes()[layout.localOffsets[0]] = 'X';
  ASSERT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", nullptr, &again), ResultOk);
  EXPECT_EQ(again, first);
  EXPECT_EQ(ExtractAll(zip.handle(), 0, 100).last(), ResultInflate);
  // Another entry in between replaces the memory; then the header is read again.
  ASSERT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_01.png", nullptr, nullptr), ResultOk);
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", nullptr, nullptr), ResultCorrupt);
}

TEST_F(ZipReaderTest, BadHandlesAreRefused) {
  std::uint8_t buffer[4];
  OpenedZip zip(os, TwoEntries().Build());
  const ArchiveHandle closed = OpenArchive(os, reinterpret_cast<const std::uint8_t*>(zip.bytes().data()),
                                           static_cast<std::uint32_t>(zip.bytes().size()));
  ASSERT_NE(closed, kNoArchive);
  EXPECT_NE(closed, zip.handle());
  EXPECT_EQ(CloseArchive(closed), ResultOk);
  struct Case {
    ArchiveHandle handle;
    ZipResult result;
  } cases[] = {{kNoArchive, ResultArgs}, {closed, ResultWrongMode}, {0xDEADBEEF, ResultWrongMode}};
  for (const Case& c : cases) {
    EXPECT_EQ(FindArchiveItem(c.handle, L"Skin/wnd_00.png", nullptr, nullptr), c.result);
    EXPECT_EQ(UnzipArchiveItem(c.handle, 0, buffer, sizeof buffer), c.result);
    EXPECT_EQ(CloseArchive(c.handle), c.result);
    ZipListing listing;
    EXPECT_EQ(ListArchiveItems(c.handle, listing), c.result);
  }
  // The open one still works.
  EXPECT_EQ(FindArchiveItem(zip.handle(), L"Skin/wnd_00.png", nullptr, nullptr), ResultOk);
}

// --- Extraction ----------------------------------------------------------------

TEST_F(ZipReaderTest, StoredAndDeflatedCopiesOfAPictureExtractToTheSameBytes) {
  const std::string picture = ReadTestData("gophercolor16x16.png") + SampleContent(70000);
  ZipBuilder builder;
  builder.Add("stored.png", picture, 0);
  builder.Add("deflated.png", picture, 8);
  OpenedZip zip(os, builder.Build());
  for (int i = 0; i < 2; ++i) {
    std::string buffer(picture.size(), '\0');
    std::uint32_t produced = 0;
    EXPECT_EQ(UnzipArchiveItem(zip.handle(), i, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &produced),
              ResultMore);
    EXPECT_EQ(produced, picture.size());
    EXPECT_TRUE(buffer == picture) << i;
  }
}

TEST_F(ZipReaderTest, ExtractionResumesInCallsOfAnyCapacity) {
  const std::string content = SampleContent(100000, 7);
  for (std::uint16_t method : {0, 8}) {
    ZipBuilder builder;
    builder.Add("x", content, method);
    OpenedZip zip(os, builder.Build());
    for (std::uint32_t capacity : {1u, 7u, 1000u, 16383u, 16384u, 16385u, 65536u, 99999u, 100000u, 200000u}) {
      auto out = ExtractAll(zip.handle(), 0, capacity, 200000);
      ASSERT_EQ(out.data.size(), content.size()) << method << " " << capacity;
      EXPECT_TRUE(out.data == content) << method << " " << capacity;
      // Every call with bytes says ResultMore; the one after the last byte
      // closes the entry with ResultOk.
      const std::size_t calls = (content.size() + capacity - 1) / capacity;
      ASSERT_EQ(out.results.size(), calls + 1) << method << " " << capacity;
      EXPECT_EQ(out.last(), ResultOk);
    }
  }
}

TEST_F(ZipReaderTest, TheOpenEntryStaysOpenUntilAnotherEntryOrALookupMatch) {
  ZipBuilder builder = TwoEntries();
  const std::string& a = builder.entries[0].data;
  const std::string& b = builder.entries[1].data;
  OpenedZip zip(os, builder.Build());
  const ArchiveHandle h = zip.handle();
  std::string buffer(1000, '\0');
  auto call = [&](int index) {
    std::uint32_t produced = 0;
    ZipResult r = UnzipArchiveItem(h, index, buffer.data(), 1000, &produced);
    return std::make_pair(r, buffer.substr(0, produced));
  };
  EXPECT_EQ(call(0), std::make_pair(ResultMore, a.substr(0, 1000)));
  EXPECT_EQ(call(0), std::make_pair(ResultMore, a.substr(1000, 1000)));
  // A lookup without a match leaves the open entry alone.
  EXPECT_EQ(FindArchiveItem(h, L"missing", nullptr, nullptr), ResultNotFound);
  EXPECT_EQ(call(0), std::make_pair(ResultMore, a.substr(2000, 1000)));
  // Another index closes it; coming back starts over.
  EXPECT_EQ(call(1), std::make_pair(ResultMore, b.substr(0, 1000)));
  EXPECT_EQ(call(0), std::make_pair(ResultMore, a.substr(0, 1000)));
  // A lookup match closes it too, even of the same entry.
  EXPECT_EQ(FindArchiveItem(h, L"Skin/wnd_00.png", nullptr, nullptr), ResultOk);
  EXPECT_EQ(call(0), std::make_pair(ResultMore, a.substr(0, 1000)));
  // An entry taken whole in one call stays open: the next call ends it.
  std::string whole(b.size(), '\0');
  EXPECT_EQ(UnzipArchiveItem(h, 1, whole.data(), static_cast<std::uint32_t>(whole.size())), ResultMore);
  EXPECT_EQ(whole, b);
  EXPECT_EQ(UnzipArchiveItem(h, 1, whole.data(), static_cast<std::uint32_t>(whole.size())), ResultOk);
  // After the close a new call starts over.
  EXPECT_EQ(call(1), std::make_pair(ResultMore, b.substr(0, 1000)));
}

TEST_F(ZipReaderTest, EntriesAreExtractedByTheirCentralSizesWithoutACrcCheck) {
  const std::string content = SampleContent(30000, 3);
  ZipBuilder builder;
  builder.Add("descriptor-deflated", content, 8).dataDescriptor = true;
  builder.Add("descriptor-stored", content, 0).dataDescriptor = true;
  auto& crc = builder.Add("wrong-crc", content, 8);
  crc.centralCrc = crc.localCrc = 0x12345678;
  builder.Add("empty", "", 8);
  builder.Add("empty-stored", "", 0);
  OpenedZip zip(os, builder.Build());
  const std::string expected[] = {content, content, content, "", ""};
  for (int i = 0; i < 5; ++i) {
    ZipEntryInfo info;
    ASSERT_EQ(FindArchiveItem(zip.handle(), os.AnsiToWide(builder.entries[i].name), nullptr, &info), ResultOk) << i;
    EXPECT_EQ(info.uncompressedSize, expected[i].size());
    auto out = ExtractAll(zip.handle(), i, 4096);
    EXPECT_TRUE(out.data == expected[i]) << i;
    EXPECT_EQ(out.last(), ResultOk) << i;
  }
}

TEST_F(ZipReaderTest, BrokenEntriesGiveWhatTheyHaveThenResultInflate) {
  const std::string content = SampleContent(50000, 5);
  const std::string deflated = testing::RawDeflate(content);
  struct Case {
    const char* what;
    std::uint16_t method;
    std::string raw;
    std::optional<std::uint32_t> compressedSize, uncompressedSize;
    std::size_t produced;  ///< bytes of the content the entry gives before it fails
    ZipResult last;
  } cases[] = {
      {"deflate stream cut in half", 8, deflated.substr(0, deflated.size() / 2), {}, content.size(), 0,
       ResultInflate},
      {"corrupt deflate data", 8, std::string(2000, '\xff'), {}, {}, 0, ResultInflate},
      {"stated size larger than the stream", 8, deflated, {}, content.size() + 10, content.size(), ResultInflate},
      {"stated size smaller than the stream", 8, deflated, {}, 1000, 1000, ResultOk},
      {"stored bytes fewer than the stated size", 0, content.substr(0, 20000), {}, 50000, 20000, ResultInflate},
      {"stored bytes more than the stated size", 0, content, {}, 20000, 20000, ResultOk},
      // Input comes in windows of 16384 bytes: the fourth would cross the
      // end of the data.
      {"compressed size past the end of the data", 0, content, 0x7FFFFFFF, 0x7FFFFFFF, 3 * 16384, ResultInflate},
  };
  for (const Case& c : cases) {
    ZipBuilder builder;
    auto& e = builder.Add("e", content, c.method);
    e.rawData = c.raw;
    if (c.compressedSize) e.centralCompressedSize = e.localCompressedSize = *c.compressedSize;
    if (c.uncompressedSize) e.centralUncompressedSize = e.localUncompressedSize = *c.uncompressedSize;
    OpenedZip zip(os, builder.Build());
    for (std::uint32_t capacity : {777u, 1u << 20}) {
      auto out = ExtractAll(zip.handle(), 0, capacity, 1 << 20);
      EXPECT_EQ(out.last(), c.last) << c.what << " " << capacity;
      if (c.what == std::string("deflate stream cut in half")) {
        // Whatever came out is the start of the content.
        EXPECT_LT(out.data.size(), content.size()) << c.what;
        EXPECT_TRUE(out.data == content.substr(0, out.data.size())) << c.what;
      } else {
        EXPECT_EQ(out.data.size(), c.produced) << c.what << " " << capacity;
        EXPECT_TRUE(out.data == content.substr(0, c.produced)) << c.what << " " << capacity;
      }
    }
  }
}

TEST_F(ZipReaderTest, BadExtractionArgumentsAreRefused) {
  OpenedZip zip(os, TwoEntries().Build());
  std::uint8_t buffer[16];
  EXPECT_EQ(UnzipArchiveItem(zip.handle(), -1, buffer, sizeof buffer), ResultArgs);
  EXPECT_EQ(UnzipArchiveItem(zip.handle(), 2, buffer, sizeof buffer), ResultArgs);
  EXPECT_EQ(UnzipArchiveItem(zip.handle(), 0, nullptr, 16), ResultArgs);
  EXPECT_EQ(UnzipArchiveItem(zip.handle(), 0, buffer, 0), ResultArgs);
  EXPECT_EQ(UnzipArchiveItem(zip.handle(), 0, buffer, sizeof buffer), ResultMore);
}

}  // namespace
}  // namespace kestrel
