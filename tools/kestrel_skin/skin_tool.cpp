#include "tools/kestrel_skin/skin_tool.h"

#include <zlib.h>

#include <algorithm>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/platform.h"
#include "skin/skin_archive.h"
#include "skin/skin_image_names.h"
#include "skin/zip_reader.h"
#include "util/utf.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kChunk = 1 << 20;
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

const char* kUsage =
    "usage: KestrelSkin list ARCHIVE\n"
    "       KestrelSkin extract ARCHIVE NAME   (the entry's bytes on standard output)\n"
    "       KestrelSkin check ARCHIVE          (are the thirteen skin images there?)\n";

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
  std::string head;  ///< the first bytes, for the picture check
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
      if (x.head.size() < kPngSignature.size())
        x.head += buffer.substr(0, std::min<std::size_t>(produced, kPngSignature.size() - x.head.size()));
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

/// Lowercases ASCII letters and turns "\" into "/": how a name that the
/// launcher misses may still be meant as another.
std::wstring Loosely(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c == L'\\') c = L'/';
  }
  return text;
}

/// Why a stored entry that looks like `wanted` is not found under it, or
/// nothing when it does not look like it.
std::optional<std::string> NearMiss(Platform& os, const ZipListedItem& item, const std::wstring& wanted) {
  struct Reading {
    std::wstring text;
    bool utf8;
  };
  std::vector<Reading> readings = {{os.AnsiToWide(item.storedName), false}};
  const bool ascii = std::all_of(item.storedName.begin(), item.storedName.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && IsValidUtf8(item.storedName)) readings.push_back({Utf8ToWide(item.storedName), true});
  for (const Reading& r : readings) {
    if (Loosely(r.text) != Loosely(wanted) || (r.text == wanted && !r.utf8)) continue;
    std::vector<std::string> why;
    if (r.utf8 && os.WideToAnsi(wanted) != item.storedName)
      why.push_back("its name is stored in UTF-8, but the launcher looks names up in the ANSI code page");
    if (r.text.find(L'\\') != std::wstring::npos) why.push_back("it has \"\\\" where the launcher has \"/\"");
    std::wstring slashed = r.text;
    for (wchar_t& c : slashed)
      if (c == L'\\') c = L'/';
    if (slashed != wanted) why.push_back("the case differs (the launcher matches names exactly)");
    if (why.empty()) continue;
    std::string text = "entry " + std::to_string(item.index) + " is stored as " + Quoted(r.text) + ": ";
    for (std::size_t i = 0; i < why.size(); ++i) text += (i ? "; " : "") + why[i];
    return text;
  }
  return std::nullopt;
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

int Check(Platform& os, const std::wstring& arg, std::ostream& out, std::ostream& err) {
  OpenedArchive opened;
  auto name = OpenForTool(os, arg, opened, err);
  if (!name) return 1;
  const ArchiveHandle handle = opened.archive.handle();
  int present = 0;
  std::vector<std::wstring> chooserLacks;
  out << *name << ": the thirteen skin images\n";
  for (const wchar_t* wanted : kSkinImageNames) {
    const bool needed = std::wstring_view(wanted) == kBackgroundImageName ||
                        std::wstring_view(wanted) == kButtonImageName;
    int index = -1;
    ZipEntryInfo info;
    const ZipResult r = FindArchiveItem(handle, wanted, &index, &info);
    std::string status;
    std::vector<std::string> notes;
    if (r == ResultOk) {
      const Extraction x = Extract(handle, index, nullptr);
      if (x.result != ResultOk) {
        status = "BROKEN";
        notes.push_back("extraction breaks off after " + std::to_string(x.produced) + " of " +
                        std::to_string(info.uncompressedSize) + " bytes (" + ZipResultName(x.result) + ")");
      } else if (x.head != kPngSignature) {
        status = "BROKEN";
        notes.push_back("not a PNG picture");
      } else {
        status = "ok";
        for (const ZipListedItem& item : opened.listing.items)
          if (item.index == index && item.crc != x.crc)
            notes.push_back("warning: CRC-32 differs from the stored one (the launcher uses the bytes anyway)");
      }
    } else if (r == ResultNotFound) {
      status = "MISSING";
      for (const ZipListedItem& item : opened.listing.items)
        if (auto why = NearMiss(os, item, wanted)) notes.push_back(*why);
    } else {
      status = "BROKEN";
      notes.push_back(std::string("entry ") + std::to_string(index) + " cannot be read: " + ZipResultName(r));
    }
    if (status == "ok") ++present;
    else if (needed) chooserLacks.push_back(wanted);
    out << "  " << std::left << std::setw(8) << status << std::right << U8(wanted);
    if (r == ResultOk) out << "  (entry " << index << ", " << info.uncompressedSize << " bytes)";
    out << "\n";
    for (const std::string& note : notes) out << "            " << note << "\n";
  }
  out << present << " of 13 skin images are usable.";
  for (const std::wstring& lacking : chooserLacks)
    out << " The chooser cannot open without " << U8(lacking) << " unless a loose file of that name is there.";
  out << "\n";
  return present == 13 ? 0 : 1;
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
