#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace kestrel::testing {

namespace {

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

std::string RawDeflate(const std::string& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string ExtraBlock(std::uint16_t tag, const std::string& data) {
  std::string out;
  Put16(out, tag);
  Put16(out, static_cast<std::uint32_t>(data.size()));
  return out + data;
}

std::string UtBlock(std::uint8_t flags, const std::vector<std::uint32_t>& times) {
  std::string data(1, static_cast<char>(flags));
  for (std::uint32_t t : times) Put32(data, t);
  return ExtraBlock(0x5455, data);
}

std::string SampleContent(std::size_t size, std::uint32_t seed) {
  // Words from a small vocabulary with random runs: deflates about 3:1.
  static const char* kWords[] = {"alpha ", "PNG", "\x89", "IDAT", "IEND", "skin/", "wnd_", "\xff\xfe", "0123"};
  std::string out;
  out.reserve(size);
  std::uint32_t x = seed * 2654435761u + 1;
  while (out.size() < size) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    if (x % 4 == 0) {
      out += static_cast<char>(x >> 8);
      out += static_cast<char>(x >> 16);
    } else {
      out += kWords[(x >> 8) % 9];
    }
  }
  out.resize(size);
  return out;
}

ZipLayout ZipBuilder::Layout() const {
  ZipLayout layout;
  std::string& out = layout.bytes;
  out = prefix;
  std::vector<std::string> packed;
  for (const ZipBuilderEntry& e : entries) {
    std::string data = e.rawData ? *e.rawData : e.method == 8 ? RawDeflate(e.data) : e.data;
    const std::uint32_t crc = Crc(e.data);
    const std::uint16_t flags = static_cast<std::uint16_t>(e.flags | (e.dataDescriptor ? 8 : 0));
    layout.localOffsets.push_back(out.size());
    Put32(out, e.localSignature.value_or(0x04034b50));
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, e.localMethod.value_or(e.method));
    Put32(out, e.dosDateTime);
    Put32(out, e.localCrc.value_or(e.dataDescriptor ? 0 : crc));
    Put32(out, e.localCompressedSize.value_or(e.dataDescriptor ? 0 : static_cast<std::uint32_t>(data.size())));
    Put32(out, e.localUncompressedSize.value_or(e.dataDescriptor ? 0 : static_cast<std::uint32_t>(e.data.size())));
    Put16(out, e.localNameLength.value_or(static_cast<std::uint16_t>(e.name.size())));
    Put16(out, e.localExtraLength.value_or(static_cast<std::uint16_t>(e.localExtra.size())));
    out += e.name;
    out += e.localExtra;
    out += data;
    if (e.dataDescriptor) {
      Put32(out, 0x08074b50);
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(data.size()));
      Put32(out, static_cast<std::uint32_t>(e.data.size()));
    }
    packed.push_back(std::move(data));
  }
  const std::uint64_t centralStart = out.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ZipBuilderEntry& e = entries[i];
    layout.centralOffsets.push_back(out.size());
    Put32(out, 0x02014b50);
    Put16(out, 0x0314);  // made by Unix, version 2.0
    Put16(out, 20);
    Put16(out, static_cast<std::uint16_t>(e.flags | (e.dataDescriptor ? 8 : 0)));
    Put16(out, e.centralMethod.value_or(e.method));
    Put32(out, e.dosDateTime);
    Put32(out, e.centralCrc.value_or(Crc(e.data)));
    Put32(out, e.centralCompressedSize.value_or(static_cast<std::uint32_t>(packed[i].size())));
    Put32(out, e.centralUncompressedSize.value_or(static_cast<std::uint32_t>(e.data.size())));
    Put16(out, e.centralNameLength.value_or(static_cast<std::uint16_t>(e.name.size())));
    Put16(out, static_cast<std::uint32_t>(e.centralExtra.size()));
    Put16(out, static_cast<std::uint32_t>(e.comment.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, e.externalAttributes);
    Put32(out, e.centralLocalOffset.value_or(static_cast<std::uint32_t>(layout.localOffsets[i] - prefix.size())));
    out += e.name;
    out += e.centralExtra;
    out += e.comment;
  }
  const std::uint64_t centralEnd = out.size();
  layout.endRecord = out.size();
  const auto count = static_cast<std::uint16_t>(entries.size());
  Put32(out, 0x06054b50);
  Put16(out, thisDisk.value_or(0));
  Put16(out, centralDisk.value_or(0));
  Put16(out, entriesOnDisk.value_or(count));
  Put16(out, totalEntries.value_or(count));
  Put32(out, centralSize.value_or(static_cast<std::uint32_t>(centralEnd - centralStart)));
  Put32(out, centralOffset.value_or(static_cast<std::uint32_t>(centralStart - prefix.size())));
  Put16(out, commentLength.value_or(static_cast<std::uint16_t>(comment.size())));
  out += comment;
  out += trailer;
  return layout;
}

}  // namespace kestrel::testing
