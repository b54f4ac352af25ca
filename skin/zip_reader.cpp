#include "skin/zip_reader.h"

#include <map>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "skin/zip_entry_stream.h"
#include "skin/zip_records.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

/// Names of 256 wide characters or more are never found.
constexpr std::size_t kMaxNameChars = 255;
/// The converted name fits a 259-byte buffer with its terminator.
constexpr std::size_t kMaxNameBytes = 258;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;

class ZipReader {
 public:
  ZipReader(Platform& platform, ZipBytes bytes, const ZipEndRecord& end, std::uint64_t prefix)
      : platform_(platform), bytes_(bytes), end_(end), prefix_(prefix) {
    GoToFirst();
  }

  ZipResult Find(const std::wstring& name, int* index, ZipEntryInfo* info);
  ZipResult Unzip(int index, std::uint8_t* destination, std::uint32_t capacity, std::uint32_t& produced);
  void List(ZipListing& listing);

 private:
  /// The current entry of the central directory walk.
  struct Cursor {
    std::uint32_t number = 0;
    std::uint64_t position = 0;
    bool ok = false;  ///< its header was read correctly
    ZipCentralHeader header;
  };

  bool GoToFirst();
  bool GoToNext();
  /// Checks the current entry's local header against its central header
  /// and takes its extra field: ResultOk, ResultCorrupt or ResultRead.
  ZipResult CheckLocalHeader(ZipLocalHeader& local, std::string_view& extra, std::uint64_t& dataStart) const;
  void CloseEntry() {
    open_.reset();
    openIndex_ = -1;
  }

  Platform& platform_;
  ZipBytes bytes_;
  ZipEndRecord end_;
  std::uint64_t prefix_;
  Cursor cursor_;
  std::optional<ZipEntryInfo> remembered_;  ///< the last lookup's record
  std::unique_ptr<ZipEntryStream> open_;    ///< the entry open for extraction
  int openIndex_ = -1;
};

bool ZipReader::GoToFirst() {
  cursor_.number = 0;
  cursor_.position = prefix_ + end_.centralOffset;
  // An archive that says it has no entries has none, whatever follows.
  cursor_.ok = end_.totalEntries > 0 && ReadCentralHeader(bytes_, cursor_.position, cursor_.header);
  return cursor_.ok;
}

bool ZipReader::GoToNext() {
  if (!cursor_.ok || cursor_.number + 1 >= end_.totalEntries) return false;
  cursor_.position += cursor_.header.FullLength();
  ++cursor_.number;
  cursor_.ok = ReadCentralHeader(bytes_, cursor_.position, cursor_.header);
  return cursor_.ok;
}

ZipResult ZipReader::CheckLocalHeader(ZipLocalHeader& local, std::string_view& extra,
                                      std::uint64_t& dataStart) const {
  const ZipCentralHeader& central = cursor_.header;
  const std::uint64_t position = prefix_ + central.localHeaderOffset;
  std::uint32_t signature = 0;
  if (!ReadLocalHeader(bytes_, position, signature, local)) return ResultCorrupt;
  if (signature != kLocalHeaderSignature) return ResultCorrupt;
  if (local.method != central.method) return ResultCorrupt;
  if (central.method != kMethodStored && central.method != kMethodDeflated) return ResultCorrupt;
  if (!(local.flags & kFlagDataDescriptor) &&
      (local.crc != central.crc || local.compressedSize != central.compressedSize ||
       local.uncompressedSize != central.uncompressedSize))
    return ResultCorrupt;
  if (local.nameLength != central.name.size()) return ResultCorrupt;
  const std::uint64_t extraStart = position + kLocalHeaderSize + local.nameLength;
  if (!ZipHas(bytes_, extraStart, local.extraLength)) return ResultRead;
  extra = std::string_view(reinterpret_cast<const char*>(bytes_.data() + extraStart), local.extraLength);
  dataStart = extraStart + local.extraLength;
  return ResultOk;
}

ZipResult ZipReader::Find(const std::wstring& name, int* index, ZipEntryInfo* info) {
  auto notFound = [&] {
    if (index) *index = -1;
    if (info) *info = ZipEntryInfo{};
    return ResultNotFound;
  };
  if (name.size() > kMaxNameChars) return notFound();
  // A name the buffer cannot hold whole is never cut to fit: a cut name
  // could equal another entry's.
  const std::string wanted = platform_.WideToAnsi(name);
  if (wanted.size() > kMaxNameBytes) return notFound();

  const Cursor before = cursor_;
  bool ok = GoToFirst();
  while (ok && cursor_.header.name != wanted) ok = GoToNext();
  if (!ok) {
    cursor_ = before;
    return notFound();
  }

  CloseEntry();
  const int found = static_cast<int>(cursor_.number);
  if (index) *index = found;
  if (remembered_ && remembered_->index == found) {
    if (info) *info = *remembered_;
    return ResultOk;
  }
  ZipLocalHeader local;
  std::string_view extra;
  std::uint64_t dataStart = 0;
  const ZipResult checked = CheckLocalHeader(local, extra, dataStart);
  if (checked != ResultOk) {
    if (info) {
      *info = ZipEntryInfo{};
      info->index = found;
    }
    return checked;
  }
  const ZipCentralHeader& central = cursor_.header;
  ZipEntryInfo entry;
  entry.index = found;
  entry.name = FitBuffer(platform_.AnsiToWide(central.name));
  entry.attributes = ZipAttributes(central.externalAttributes);
  ZipEntryTimes(central.dosDateTime, extra, entry);
  entry.compressedSize = central.compressedSize;
  entry.uncompressedSize = central.uncompressedSize;
  remembered_ = entry;
  if (info) *info = entry;
  return ResultOk;
}

ZipResult ZipReader::Unzip(int index, std::uint8_t* destination, std::uint32_t capacity, std::uint32_t& produced) {
  if (open_ && openIndex_ != index) CloseEntry();
  if (index < 0 || static_cast<std::uint32_t>(index) >= end_.totalEntries) return ResultArgs;
  if (!destination || capacity == 0) return ResultArgs;
  if (!open_) {
    const auto target = static_cast<std::uint32_t>(index);
    bool ok = cursor_.ok && cursor_.number <= target;
    if (!ok) ok = GoToFirst();
    while (ok && cursor_.number < target) ok = GoToNext();
    if (!ok) return ResultInflate;
    ZipLocalHeader local;
    std::string_view extra;
    std::uint64_t dataStart = 0;
    if (CheckLocalHeader(local, extra, dataStart) != ResultOk) return ResultInflate;
    const ZipCentralHeader& central = cursor_.header;
    auto stream = std::make_unique<ZipEntryStream>(bytes_, dataStart, central.compressedSize,
                                                   central.uncompressedSize, central.method == kMethodDeflated);
    if (!stream->Start()) return ResultInflate;
    open_ = std::move(stream);
    openIndex_ = index;
  }
  produced = open_->Produce(destination, capacity);
  if (produced > 0) return ResultMore;
  const bool complete = open_->remaining() == 0;
  CloseEntry();
  return complete ? ResultOk : ResultInflate;
}

void ZipReader::List(ZipListing& listing) {
  listing = ZipListing{};
  listing.totalEntries = end_.totalEntries;
  listing.prefixLength = prefix_;
  const Cursor before = cursor_;
  for (bool ok = GoToFirst(); ok; ok = GoToNext()) {
    const ZipCentralHeader& h = cursor_.header;
    listing.items.push_back({static_cast<int>(cursor_.number), std::string(h.name), h.flags, h.method, h.crc,
                             h.compressedSize, h.uncompressedSize, h.localHeaderOffset});
  }
  cursor_ = before;
}

/// The open readers by handle.  Never destroyed, so that a reader closed
/// at process exit (the skin archive's) still finds its table.
struct ReaderTable {
  std::map<ArchiveHandle, std::unique_ptr<ZipReader>> readers;
  ArchiveHandle next = 1;
};

ReaderTable& Readers() {
  static ReaderTable* table = new ReaderTable;
  return *table;
}

/// The reader of a handle, or the result code that refuses it.
ZipReader* ReaderOf(ArchiveHandle handle, ZipResult& refusal) {
  if (handle == kNoArchive) {
    refusal = ResultArgs;
    return nullptr;
  }
  auto& readers = Readers().readers;
  auto it = readers.find(handle);
  if (it == readers.end()) {
    refusal = ResultWrongMode;
    return nullptr;
  }
  return it->second.get();
}

}  // namespace

const char* ZipOpenFailureText(ZipOpenFailure failure) {
  switch (failure) {
    case ZipOpenFailure::kNone: return "open";
    case ZipOpenFailure::kNoEndRecord:
      return "not a ZIP archive (no end of central directory record in its last 65535 bytes)";
    case ZipOpenFailure::kEndRecordCut: return "the end of central directory record is cut off";
    case ZipOpenFailure::kSplitArchive: return "a split (multi-disk) archive";
    case ZipOpenFailure::kDirectoryPastEnd: return "the central directory does not end before the end record";
  }
  return "unknown failure";
}

ArchiveHandle OpenArchive(Platform& platform, const std::uint8_t* data, std::uint32_t length,
                          ZipOpenFailure* failure) {
  ZipOpenFailure why = ZipOpenFailure::kNone;
  auto fail = [&](ZipOpenFailure reason) {
    if (failure) *failure = reason;
    return kNoArchive;
  };
  const ZipBytes bytes(data, data ? length : 0);
  const std::uint64_t position = FindEndRecord(bytes);
  if (position == 0) return fail(ZipOpenFailure::kNoEndRecord);
  ZipEndRecord end;
  if (!ReadEndRecord(bytes, position, end)) return fail(ZipOpenFailure::kEndRecordCut);
  if (end.thisDisk != 0 || end.centralDisk != 0 || end.entriesOnDisk != end.totalEntries)
    return fail(ZipOpenFailure::kSplitArchive);
  const std::uint64_t directoryEnd = std::uint64_t{end.centralOffset} + end.centralSize;
  if (position < directoryEnd) return fail(ZipOpenFailure::kDirectoryPastEnd);
  // Data in front of the archive (a stub) shifts every stored offset.
  const std::uint64_t prefix = position - directoryEnd;

  ReaderTable& table = Readers();
  const ArchiveHandle handle = table.next++;
  table.readers.emplace(handle, std::make_unique<ZipReader>(platform, bytes, end, prefix));
  if (failure) *failure = why;
  return handle;
}

ZipResult FindArchiveItem(ArchiveHandle handle, const std::wstring& name, int* index, ZipEntryInfo* info) {
  ZipResult refusal = ResultOk;
  ZipReader* reader = ReaderOf(handle, refusal);
  if (!reader) return refusal;
  return reader->Find(name, index, info);
}

ZipResult UnzipArchiveItem(ArchiveHandle handle, int index, void* destination, std::uint32_t capacity,
                           std::uint32_t* produced) {
  std::uint32_t count = 0;
  if (produced) *produced = 0;
  ZipResult refusal = ResultOk;
  ZipReader* reader = ReaderOf(handle, refusal);
  if (!reader) return refusal;
  const ZipResult result = reader->Unzip(index, static_cast<std::uint8_t*>(destination), capacity, count);
  if (produced) *produced = count;
  return result;
}

ZipResult CloseArchive(ArchiveHandle handle) {
  ZipResult refusal = ResultOk;
  if (!ReaderOf(handle, refusal)) return refusal;
  Readers().readers.erase(handle);
  return ResultOk;
}

ZipResult ListArchiveItems(ArchiveHandle handle, ZipListing& listing) {
  ZipResult refusal = ResultOk;
  ZipReader* reader = ReaderOf(handle, refusal);
  if (!reader) return refusal;
  reader->List(listing);
  return ResultOk;
}

}  // namespace kestrel
