#include "tools/kestrel_skin/skin_tool.h"

#include <zlib.h>

#include <algorithm>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/platform.h"
#include "skin/png_header.h"
#include "skin/skin_diagnosis.h"
#include "skin/skin_archive.h"
#include "skin/skin_image_loader.h"
#include "skin/skin_image_names.h"
#include "skin/zip_reader.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kChunk = 1 << 20;

const char* kUsage =
    "usage: KestrelSkin list ARCHIVE\n"
    "       KestrelSkin extract ARCHIVE NAME   (the entry's bytes on standard output)\n"
    "       KestrelSkin check ARCHIVE          (does each of the thirteen skin images load and serve?)\n"
    "       KestrelSkin --version\n";

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

std::string Quoted(std::wstring_view text) {
  // Appended piece by piece: GCC 12's -Wrestrict misreads "x" + string at -O3.
  std::string quoted(1, '"');
  quoted += U8(text);
  quoted += '"';
  return quoted;
}

std::string MethodName(std::uint16_t method) {
  if (method == 0) return "stored";
  if (method == 8) return "deflated";
  return "method " + std::to_string(method);
}

/// What extracting an entry to its end gave.
struct Extraction {
  ZipResult result = ResultOk;
  std::uint64_t produced = 0;
  std::uint32_t crc = 0;
  std::string head;  ///< the first bytes, for the header check
};

/// Extracts entry `index` in chunks, as the launcher's reader gives it,
/// passing the bytes to `sink` (may be null).
Extraction Extract(ArchiveHandle handle, int index, std::ostream* sink) {
  Extraction x;
  std::string buffer(kChunk, '\0');
  x.crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
  for (;;) {
    std::uint32_t produced = 0;
    x.result = UnzipArchiveItem(handle, index, buffer.data(), kChunk, &produced);
    if (produced > 0) {
      x.crc = static_cast<std::uint32_t>(crc32(x.crc, reinterpret_cast<const Bytef*>(buffer.data()), produced));
      if (x.head.size() < kImageHeadBytes)
        x.head += buffer.substr(0, std::min<std::size_t>(produced, kImageHeadBytes - x.head.size()));
      if (sink) sink->write(buffer.data(), produced);
      x.produced += produced;
    }
    if (x.result != ResultMore) return x;
  }
}

/// An archive opened with the launcher's own code.
struct OpenedArchive {
  SkinArchive archive;
  ZipListing listing;
};

std::optional<std::string> OpenForTool(Platform& os, const std::wstring& arg, OpenedArchive& opened,
                                       std::ostream& err) {
  const std::wstring path = os.NativePathToWindows(arg);
  ZipOpenFailure failure = ZipOpenFailure::kNone;
  if (!opened.archive.Open(os, path, &failure)) {
    if (failure == ZipOpenFailure::kNone)
      err << "KestrelSkin: cannot read " << Quoted(arg) << " (Windows error " << os.GetLastError() << ")\n";
    else
      err << "KestrelSkin: " << Quoted(arg) << ": " << ZipOpenFailureText(failure)
          << "; the launcher cannot open it\n";
    return std::nullopt;
  }
  ListArchiveItems(opened.archive.handle(), opened.listing);
  return U8(arg);
}

int List(Platform& os, const std::wstring& arg, std::ostream& out, std::ostream& err) {
  OpenedArchive opened;
  auto name = OpenForTool(os, arg, opened, err);
  if (!name) return 1;
  const ZipListing& listing = opened.listing;
  const ArchiveHandle handle = opened.archive.handle();
  out << *name << ": " << listing.totalEntries << " entries";
  if (listing.prefixLength) out << ", " << listing.prefixLength << " bytes in front of the archive";
  out << "\n";
  out << std::setw(6) << "index" << "  " << std::left << std::setw(9) << "method" << std::right << std::setw(12)
      << "compressed" << std::setw(14) << "uncompressed" << "  " << std::left << std::setw(24) << "launcher lookup"
      << std::right << "name\n";
  for (const ZipListedItem& item : listing.items) {
    const std::wstring wide = os.AnsiToWide(item.storedName);
    int found = -1;
    const ZipResult r = FindArchiveItem(handle, wide, &found, nullptr);
    std::string lookup;
    if (r == ResultOk && found == item.index) lookup = "found";
    else if (found >= 0 && found != item.index) lookup = "hidden by entry " + std::to_string(found);
    else if (r == ResultNotFound) lookup = "not found";
    else lookup = ZipResultName(r);
    out << std::setw(6) << item.index << "  " << std::left << std::setw(9) << MethodName(item.method) << std::right
        << std::setw(12) << item.compressedSize << std::setw(14) << item.uncompressedSize << "  " << std::left
        << std::setw(24) << lookup << std::right << U8(wide);
    // A name written in UTF-8 reads as something else in the ANSI code page.
    if (IsValidUtf8(item.storedName) && Utf8ToWide(item.storedName) != wide)
      out << "  (stored in UTF-8 as " << Quoted(Utf8ToWide(item.storedName)) << ")";
    out << "\n";
  }
  if (listing.items.size() < listing.totalEntries)
    out << "entries " << listing.items.size() << " to " << listing.totalEntries - 1
        << " cannot be reached: the central directory breaks off at entry " << listing.items.size() << "\n";
  return 0;
}

int ExtractCommand(Platform& os, const std::wstring& arg, const std::wstring& entry, std::ostream& out,
                   std::ostream& err) {
  OpenedArchive opened;
  auto name = OpenForTool(os, arg, opened, err);
  if (!name) return 1;
  const ArchiveHandle handle = opened.archive.handle();
  int index = -1;
  ZipEntryInfo info;
  const ZipResult r = FindArchiveItem(handle, entry, &index, &info);
  if (r != ResultOk) {
    err << "KestrelSkin: the launcher's lookup of " << Quoted(entry) << " in " << *name << " fails: "
        << ZipResultName(r) << "\n";
    return 1;
  }
  const Extraction x = Extract(handle, index, &out);
  out.flush();
  if (x.result != ResultOk) {
    err << "KestrelSkin: " << Quoted(entry) << " breaks off after " << x.produced << " of "
        << info.uncompressedSize << " bytes: " << ZipResultName(x.result) << "\n";
    return 1;
  }
  for (const ZipListedItem& item : opened.listing.items)
    if (item.index == index && item.crc != x.crc)
      err << "KestrelSkin: warning: the CRC-32 of " << Quoted(entry)
          << " differs from the stored one; the launcher uses the bytes anyway\n";
  return 0;
}

bool IsButtonFace(std::wstring_view name) {
  return name == kButtonImageName || name == kMinimizeImageName || name == kMaximizeImageName ||
         name == kCloseImageName;
}

/// What the launcher makes of one skin image name: the image, where it
/// came from, and what stands in its way.
struct ImageReport {
  std::string status = "ok";
  std::string source;
  SkinImagePtr image;
  std::vector<std::string> notes;
};

ImageReport Examine(Platform& os, const OpenedArchive& opened, const std::wstring& wanted) {
  ImageReport report;
  const ArchiveHandle handle = opened.archive.handle();
  int index = -1;
  ZipEntryInfo info;
  const ZipResult r = FindArchiveItem(handle, wanted, &index, &info);
  std::string archiveProblem;  // why the archive's entry does not serve
  if (r == ResultOk) {
    const Extraction x = Extract(handle, index, nullptr);
    for (const ZipListedItem& item : opened.listing.items)
      if (item.index == index && item.crc != x.crc && x.result == ResultOk)
        report.notes.push_back("warning: CRC-32 differs from the stored one (the launcher uses the bytes anyway)");
    // The launcher's own decoding of the entry.
    report.image = LoadImageFromArchive(os, wanted, opened.archive);
    if (report.image) {
      report.source = "archive entry " + std::to_string(index);
    } else if (x.result != ResultOk) {
      archiveProblem = "entry " + std::to_string(index) + " breaks off after " + std::to_string(x.produced) +
                       " of " + std::to_string(info.uncompressedSize) + " bytes (" + ZipResultName(x.result) + ")";
    } else {
      archiveProblem = "entry " + std::to_string(index) + " (" + std::to_string(info.uncompressedSize) +
                       " bytes): " + WhyUndecodable(x.head);
    }
  } else if (r == ResultNotFound) {
    for (const ZipListedItem& item : opened.listing.items)
      if (auto why = SkinNameNearMiss(os, item, wanted)) report.notes.push_back(*why);
  } else {
    archiveProblem = "entry " + std::to_string(index) + " cannot be read: " + ZipResultName(r);
  }
  if (!archiveProblem.empty()) report.notes.push_back(archiveProblem);
  if (report.image) return report;

  // Then, as the launcher does, the loose file of that name in the current folder.
  report.image = LoadImageFromFile(os, wanted);
  std::string bytes;
  const bool looseThere = !report.image && os.ReadFileBytes(wanted, bytes);
  if (report.image) {
    report.source = "loose file";
  } else if (looseThere) {
    report.notes.push_back("the loose file: " + WhyUndecodable(std::string_view(bytes).substr(0, kImageHeadBytes)));
  }
  if (report.image) return report;
  const std::string why = !archiveProblem.empty() ? archiveProblem : looseThere ? report.notes.back() : "";
  report.status = why.find("over the budget") != std::string::npos ? "TOO BIG"
                  : why.empty()                                    ? "MISSING"
                                                                   : "BROKEN";
  return report;
}

int Check(Platform& os, const std::wstring& arg, std::ostream& out, std::ostream& err) {
  OpenedArchive opened;
  auto name = OpenForTool(os, arg, opened, err);
  if (!name) return 1;
  int usable = 0;
  std::vector<std::string> blockers;
  out << *name << ": the thirteen skin images (loose files from the current folder)\n";
  for (const wchar_t* wanted : kSkinImageNames) {
    ImageReport report = Examine(os, opened, wanted);
    std::string line = U8(wanted);
    if (report.image) {
      const int width = report.image->Width();
      const int height = report.image->Height();
      line += "  " + report.source + ", " + std::to_string(width) + " x " + std::to_string(height);
      if (IsButtonFace(wanted)) {
        const int slice = height / 3;
        line += ", slices " + std::to_string(width) + " x " + std::to_string(slice);
        if (height % 3 != 0) {
          report.status = "UNFIT";
          report.notes.push_back(std::string("the height is not a multiple of 3: ") +
                                 (height % 3 == 1 ? "row " + std::to_string(height - 1) + " never shows"
                                                  : "rows " + std::to_string(height - 2) + " and " +
                                                        std::to_string(height - 1) + " never show"));
        }
        if (slice == 0) {
          report.status = "UNFIT";
          report.notes.push_back("lower than 3 pixels: its slices are empty");
        }
      }
      if (std::wstring_view(wanted) == kBackgroundImageName && width < 104) {
        report.status = "UNFIT";
        report.notes.push_back("narrower than the 104 pixels the three system buttons need");
      }
    }
    if (report.status == "ok") ++usable;
    else if (std::wstring_view(wanted) == kBackgroundImageName || std::wstring_view(wanted) == kButtonImageName)
      blockers.push_back(U8(wanted) + " is " + (report.status == "UNFIT" ? "unfit to serve" : "not loaded"));
    out << "  " << std::left << std::setw(8) << report.status << std::right << line << "\n";
    for (const std::string& note : report.notes) out << "            " << note << "\n";
  }
  out << usable << " of 13 skin images are usable.";
  if (blockers.empty()) out << " The chooser opens.";
  else {
    out << " The chooser will not open:";
    for (std::size_t i = 0; i < blockers.size(); ++i) out << (i ? "; " : " ") << blockers[i];
    out << ".";
  }
  out << "\n";
  return blockers.empty() ? 0 : 1;
}

}  // namespace

int RunSkinTool(Platform& platform, const std::vector<std::wstring>& args, std::ostream& out, std::ostream& err) {
  const std::wstring command = args.empty() ? L"" : args[0];
  if (command == L"list" && args.size() == 2) return List(platform, args[1], out, err);
  if (command == L"extract" && args.size() == 3) return ExtractCommand(platform, args[1], args[2], out, err);
  if (command == L"check" && args.size() == 2) return Check(platform, args[1], out, err);
  err << kUsage;
  return 2;
}

}  // namespace kestrel
