#include "platform/model/wine_registry_file.h"

#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "platform/model/text_blanks.h"
#include "platform/platform.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
// Windows' limits (and Wine's): a key holds names of at most 255
// characters, at most 512 levels deep, and value names of at most 16,383.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kTicks1601To1970 = 86400ULL * (369 * 365 + 89) * kTicksPerSecond;

bool IsHex(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

/// Reads an escaped string up to `end` (not escaped) as UTF-16 units;
/// returns the position after `end`, or npos when it is missing.
std::size_t ParseEscaped(std::string_view s, std::size_t pos, char end, std::u16string& out) {
  out.clear();
  while (pos < s.size() && s[pos] != end) {
    char c = s[pos];
    if (c == '\\' && pos + 1 < s.size()) {
      char e = s[++pos];
      static constexpr std::string_view kLetters = "abefnrtv";
      static constexpr char16_t kCodes[] = {7, 8, 27, 12, 10, 13, 9, 11};
      if (std::size_t i = kLetters.find(e); i != std::string_view::npos) {
        out.push_back(kCodes[i]);
        ++pos;
        continue;
      }
      if (e == 'x') {
        ++pos;
        if (pos >= s.size() || !IsHex(s[pos])) {
          out.push_back(u'x');
          continue;
        }
        unsigned v = 0;
        for (int n = 0; n < 4 && pos < s.size() && IsHex(s[pos]); ++n) v = v * 16 + HexValue(s[pos++]);
        out.push_back(static_cast<char16_t>(v));
        continue;
      }
      if (e >= '0' && e <= '7') {
        unsigned v = 0;
        for (int n = 0; n < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++n) v = v * 8 + (s[pos++] - '0');
        out.push_back(static_cast<char16_t>(v));
        continue;
      }
      c = e;  // any other escaped character stands for itself
    }
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(b);
      ++pos;
      continue;
    }
    // UTF-8; a broken sequence is skipped byte by byte, as Wine does.
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    unsigned v = b & (more == 3 ? 0x07 : more == 2 ? 0x0F : 0x1F);
    std::size_t p = pos + 1;
    bool ok = more > 0;
    for (int n = 0; ok && n < more; ++n, ++p) {
      if (p >= s.size() || (static_cast<unsigned char>(s[p]) & 0xC0) != 0x80) ok = false;
      else v = (v << 6) | (static_cast<unsigned char>(s[p]) & 0x3F);
    }
    static constexpr unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || v < kMin[more] || v > 0x10FFFF) {
      ++pos;
      continue;
    }
    pos = p;
    if (v <= 0xFFFF) {
      out.push_back(static_cast<char16_t>(v));
    } else {
      v -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
    }
  }
  if (pos >= s.size()) return std::string_view::npos;
  return pos + 1;
}

std::string UnitsToBytes(const std::u16string& units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::wstring UnitsToWide(const std::u16string& units) { return Utf16LeToWide(UnitsToBytes(units)); }

std::u16string WideToUnits(std::wstring_view text) {
  std::string bytes = WideToUtf16Le(text);
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return units;
}

/// Wine's escaping: non-ASCII as \x, controls as C or octal escapes, and a
/// backslash before "\" and the two `special` characters.
void AppendEscaped(std::string& out, const char16_t* units, std::size_t count, char special1, char special2) {
  static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
  char buffer[16];
  for (std::size_t i = 0; i < count; ++i) {
    char16_t u = units[i];
    bool more = i + 1 < count;
    if (u > 127) {
      bool hexNext = more && units[i + 1] < 128 && IsHex(static_cast<char>(units[i + 1]));
      std::snprintf(buffer, sizeof buffer, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(u));
      out += buffer;
    } else if (u < 32) {
      if (kEscapes[u] != '.') {
        out += '\\';
        out += kEscapes[u];
      } else {
        bool octalNext = more && units[i + 1] >= u'0' && units[i + 1] <= u'7';
        std::snprintf(buffer, sizeof buffer, octalNext ? "\\%03o" : "\\%o", static_cast<unsigned>(u));
        out += buffer;
      }
    } else {
      char c = static_cast<char>(u);
      if (c == '\\' || c == special1 || c == special2) out += '\\';
      out += c;
    }
  }
}

void AppendValue(std::string& out, const std::wstring& name, const RegistryValue& value) {
  std::size_t start = out.size();
  if (name.empty()) {
    out += "@=";
  } else {
    std::u16string units = WideToUnits(name);
    out += '"';
    AppendEscaped(out, units.data(), units.size(), '"', '"');
    out += "\"=";
  }
  const std::vector<std::uint8_t>& d = value.data;
  char buffer[32];
  if (value.type == win::kRegSz || value.type == win::kRegExpandSz || value.type == win::kRegMultiSz) {
    if (d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0) {
      if (value.type != win::kRegSz) {
        std::snprintf(buffer, sizeof buffer, "str(%x):", static_cast<unsigned>(value.type));
        out += buffer;
      }
      std::u16string units(d.size() / 2 - 1, u'\0');
      for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(d[2 * i] | (d[2 * i + 1] << 8));
      out += '"';
      AppendEscaped(out, units.data(), units.size(), '"', '"');
      out += "\"\n";
      return;
    }
  } else if (value.type == win::kRegDword && d.size() == 4) {
    std::snprintf(buffer, sizeof buffer, "dword:%08x\n",
                  static_cast<unsigned>(d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<unsigned>(d[3]) << 24)));
    out += buffer;
    return;
  }
  // Wine counts the line from the value name and breaks it after 76.
  std::size_t count = out.size() - start;
  if (value.type == win::kRegBinary) {
    out += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
    out += buffer;
  }
  count = out.size() - start;
  for (std::size_t i = 0; i < d.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", d[i]);
    out += buffer;
    count += 2;
    if (i + 1 < d.size()) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out += '\n';
}

std::string EscapedPath(std::wstring_view path) {
  std::string out;
  bool first = true;
  for (std::wstring_view part : SplitKeyPath(path)) {
    if (!first) out += "\\\\";
    first = false;
    std::u16string units = WideToUnits(part);
    AppendEscaped(out, units.data(), units.size(), '[', ']');
  }
  return out;
}

/// Parses one value line (with its continuation lines from `more`) into
/// `name` and `value`; false when Wine would reject it.
bool ParseValue(std::string_view line, std::string_view& rest, std::wstring& name, RegistryValue& value) {
  std::size_t pos = 0;
  std::u16string units;
  if (line[0] == '@') {
    name.clear();
    pos = 1;
  } else {
    pos = ParseEscaped(line, 1, '"', units);
    if (pos == std::string_view::npos || units.size() > kMaxValueNameChars) return false;
    name = UnitsToWide(units);
  }
  while (pos < line.size() && IsWineRegistryBlank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  while (pos < line.size() && IsWineRegistryBlank(line[pos])) ++pos;
  std::string_view data = line.substr(pos);
  auto starts = [&](std::string_view tag) { return data.substr(0, tag.size()) == tag; };
  std::uint32_t stringType = 0;
  std::size_t skip = 0;
  if (starts("\"")) stringType = win::kRegSz, skip = 1;
  else if (starts("str:\"")) stringType = win::kRegSz, skip = 5;
  else if (starts("str(2):\"")) stringType = win::kRegExpandSz, skip = 8;
  else if (starts("str(7):\"")) stringType = win::kRegMultiSz, skip = 8;
  if (stringType) {
    if (ParseEscaped(data, skip, '"', units) == std::string_view::npos) return false;
    units.push_back(u'\0');
    std::string bytes = UnitsToBytes(units);
    value = {stringType, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    return true;
  }
  if (starts("dword:")) {
    std::uint32_t v = 0;
    for (std::size_t i = 6; i < data.size() && IsHex(data[i]); ++i) v = v * 16 + HexValue(data[i]);
    value = {win::kRegDword, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                              static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
    return true;
  }
  std::uint32_t type = win::kRegBinary;
  if (starts("hex:")) {
    data.remove_prefix(4);
  } else if (starts("hex(")) {
    std::size_t i = 4;
    std::uint64_t t = 0;
    while (i < data.size() && IsHex(data[i]) && t <= 0xFFFFFFFFULL) t = t * 16 + HexValue(data[i++]);
    if (i == 4 || t > 0xFFFFFFFFULL || data.substr(i, 2) != "):") return false;
    type = static_cast<std::uint32_t>(t);
    data.remove_prefix(i + 2);
  } else {
    return false;
  }
  value = {type, {}};
  for (;;) {
    std::size_t i = 0;
    while (i < data.size() && IsHex(data[i])) {
      unsigned v = 0;
      std::size_t start = i;
      while (i < data.size() && IsHex(data[i]) && v <= 0xFF) v = v * 16 + HexValue(data[i++]);
      if (v > 0xFF || i == start) return false;
      value.data.push_back(static_cast<std::uint8_t>(v));
      while (i < data.size() && IsWineRegistryBlank(data[i])) ++i;
      if (i < data.size() && data[i] == ',') ++i;
      while (i < data.size() && IsWineRegistryBlank(data[i])) ++i;
    }
    if (i == data.size()) return true;
    if (data[i] != '\\' || rest.empty()) return false;
    // The data goes on in the next line.
    std::size_t eol = rest.find('\n');
    data = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    while (!data.empty() && IsWineRegistryBlank(data.front())) data.remove_prefix(1);
    while (!data.empty() && data.back() == '\r') data.remove_suffix(1);
  }
}

}  // namespace

std::uint64_t FileTimeOf(std::int64_t seconds, long nanoseconds) {
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond + kTicks1601To1970 +
         static_cast<std::uint64_t>(nanoseconds / 100);
}

WineRegistryFile& WineRegistryFile::operator=(const WineRegistryFile& other) {
  if (this == &other) return *this;
  bytes = other.bytes;
  headerEnd = other.headerEnd;
  arch = other.arch;
  blocks = other.blocks;
  index = other.index;
  original = other.original;
  implicit = other.implicit;
  problems = other.problems;
  // The blocks name their keys by the copy's own index.
  for (Block& block : blocks)
    if (block.key) block.key = &index.find(*block.key)->first;
  return *this;
}

std::string WineIndexKey(std::wstring_view path) {
  std::string key;
  key.reserve(path.size());
  bool first = true;
  for (std::wstring_view part : SplitKeyPath(path)) {
    if (!first) key += '\\';
    first = false;
    for (wchar_t c : part) {
      if (c < 128) {
        key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      } else {
        key += WideToUtf8(std::wstring(1, FoldCase(c)));
      }
    }
  }
  return key;
}

namespace {

/// The index key of a block's escaped key text: directly for plain ASCII
/// names (nearly all), through the full unescaping otherwise.
bool IndexKeyOfLine(std::string_view line, std::string& key, std::wstring* path) {
  key.clear();
  key.reserve(line.size());
  std::size_t i = 1;
  bool plain = path == nullptr;
  for (; plain && i < line.size() && line[i] != ']'; ++i) {
    char c = line[i];
    if (c == '\\') {
      if (i + 1 < line.size() && line[i + 1] == '\\') {
        if (!key.empty() && key.back() != '\\') key += '\\';
        ++i;
        continue;
      }
      plain = false;
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      plain = false;
    } else {
      key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
  }
  if (plain) {
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return i < line.size();
  }
  std::u16string units;
  if (ParseEscaped(line, 1, ']', units) == std::string_view::npos) return false;
  std::wstring wide = UnitsToWide(units);
  key = WineIndexKey(wide);
  if (path) *path = std::move(wide);
  return true;
}

std::string_view LineAt(std::string_view bytes, std::size_t pos) {
  std::size_t end = bytes.find('\n', pos);
  std::string_view line = bytes.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

/// Parses a block's values into `key`; counts the lines Wine would reject.
void LoadBlock(WineRegistryFile& file, WineRegistryFile::Block& block, RegistryKey* key) {
  std::string_view text = std::string_view(file.bytes).substr(block.begin, block.end - block.begin);
  std::size_t eol = text.find('\n');
  std::string_view rest = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
  std::wstring name;
  RegistryValue value;
  while (!rest.empty()) {
    std::size_t next = rest.find('\n');
    std::string_view line = rest.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t lead = 0;
    while (lead < line.size() && IsWineRegistryBlank(line[lead])) ++lead;
    line.remove_prefix(lead);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '#') {
      if (line.substr(0, 6) != "#time=") {
        block.options.append(line);
        block.options += '\n';
      }
    } else if ((line[0] == '"' || line[0] == '@') && key && ParseValue(line, rest, name, value)) {
      key->SetValue(name, std::move(value));
    } else {
      ++file.problems;
    }
  }
  block.loaded = true;
}

}  // namespace

namespace {

/// Adds block `number` to the index under `key`, after the key's others.
void IndexBlock(WineRegistryFile& file, std::vector<WineRegistryFile::Block>& blocks, std::string key,
                std::size_t number) {
  auto [it, fresh] = file.index.try_emplace(std::move(key), number);
  blocks[number].key = &it->first;
  if (fresh) return;
  std::size_t n = it->second;
  while (blocks[n].next != static_cast<std::size_t>(-1)) n = blocks[n].next;
  blocks[n].next = number;
}

}  // namespace

bool ReadWineRegistry(std::string bytes, WineRegistryFile& file) {
  file = WineRegistryFile();
  std::size_t eol = bytes.find('\n');
  std::string_view first = std::string_view(bytes).substr(0, eol);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != kMagic) return false;
  file.bytes = std::move(bytes);
  std::string_view all = file.bytes;
  file.index.reserve(all.size() / 128);
  file.blocks.reserve(all.size() / 128);
  // A key starts a line with "[" (after blanks); nothing else does.
  std::size_t pos = eol == std::string_view::npos ? all.size() : eol + 1;
  std::string key;
  bool headerDone = false;
  const char* data = all.data();
  while (pos < all.size()) {
    std::size_t lead = pos;
    while (lead < all.size() && IsWineRegistryBlank(data[lead])) ++lead;
    if (lead < all.size() && data[lead] == '[') {
      if (!file.blocks.empty()) file.blocks.back().end = pos;
      else file.headerEnd = pos, headerDone = true;
      file.blocks.emplace_back();
      file.blocks.back().begin = pos;
      if (IndexKeyOfLine(LineAt(all, lead), key, nullptr)) IndexBlock(file, file.blocks, key, file.blocks.size() - 1);
      else ++file.problems;  // kept as it is, never loaded
    } else if (!headerDone && all.compare(lead, 6, "#arch=") == 0) {
      file.arch = std::string(LineAt(all, lead + 6));
    }
    const void* next = std::memchr(data + pos, '\n', all.size() - pos);
    pos = next ? static_cast<std::size_t>(static_cast<const char*>(next) - data) + 1 : all.size();
  }
  if (!file.blocks.empty()) file.blocks.back().end = all.size();
  else file.headerEnd = all.size();
  return true;
}

RegistryKey* LoadWineKey(WineRegistryFile& file, RegistryTree& tree, std::wstring_view path, bool branch) {
  auto loadOne = [&](const std::string& key, std::wstring_view wanted) -> RegistryKey* {
    if (file.original.count(key) || file.implicit.count(key)) return tree.FindKey(wanted) ? tree.CreateKey(wanted) : nullptr;
    auto it = file.index.find(key);
    if (it == file.index.end()) return nullptr;
    RegistryKey* target = nullptr;
    std::string ignored;
    for (std::size_t number = it->second; number != static_cast<std::size_t>(-1); number = file.blocks[number].next) {
      WineRegistryFile::Block& block = file.blocks[number];
      std::string_view all = file.bytes;
      std::size_t lead = block.begin;
      while (IsWineRegistryBlank(all[lead])) ++lead;
      IndexKeyOfLine(LineAt(all, lead), ignored, &block.path);
      std::vector<std::wstring_view> parts = SplitKeyPath(block.path);
      bool fits = parts.size() <= kMaxKeyDepth;
      for (std::wstring_view part : parts) fits = fits && part.size() <= kMaxKeyNameChars;
      if (!fits) {
        ++file.problems;  // Wine refuses the key too; its block stays as it is
        continue;
      }
      target = tree.CreateKey(block.path);
      LoadBlock(file, block, target);
    }
    if (target) file.original[key] = {std::wstring(wanted), target->values()};
    return target;
  };
  std::string key = WineIndexKey(path);
  RegistryKey* found = nullptr;
  if (!key.empty()) {
    found = loadOne(key, path);
    if (!found) {
      if (const RegistryKey* existing = tree.FindKey(path)) found = const_cast<RegistryKey*>(existing);
    }
    if (!found && !file.implicit.count(key)) {
      // A key the file has only as the parent of others.
      std::string prefix = key + '\\';
      for (const auto& entry : file.index)
        if (entry.first.compare(0, prefix.size(), prefix) == 0) {
          file.implicit.insert(key);
          found = tree.CreateKey(path);
          break;
        }
    } else if (!found && file.implicit.count(key)) {
      found = tree.CreateKey(path);
    }
  } else {
    found = const_cast<RegistryKey*>(&tree.root());
    if (!file.original.count(key)) {
      auto it = file.index.find(key);
      if (it != file.index.end())
        for (std::size_t number = it->second; number != static_cast<std::size_t>(-1); number = file.blocks[number].next)
          LoadBlock(file, file.blocks[number], found);
      file.original[key] = {L"", found->values()};
    }
  }
  if (!branch) return found;
  std::string prefix = key.empty() ? std::string() : key + '\\';
  std::vector<std::string> below;
  for (const auto& entry : file.index)
    if (!entry.first.empty() && entry.first.compare(0, prefix.size(), prefix) == 0 && !file.original.count(entry.first))
      below.push_back(entry.first);
  for (const std::string& k : below) {
    std::size_t number = file.index[k];
    WineRegistryFile::Block& block = file.blocks[number];
    std::string_view all = file.bytes;
    std::size_t lead = block.begin;
    while (IsWineRegistryBlank(all[lead])) ++lead;
    std::string ignored;
    std::wstring full;
    IndexKeyOfLine(LineAt(all, lead), ignored, &full);
    loadOne(k, full);
  }
  return found ? found : (key.empty() ? nullptr : const_cast<RegistryKey*>(tree.FindKey(path)));
}

WineRegistryFile NewWineRegistry(std::string_view relativeTo, std::string_view arch) {
  WineRegistryFile file;
  file.bytes = std::string(kMagic) + "\n;; All keys relative to " + std::string(relativeTo) + "\n";
  if (!arch.empty()) file.bytes += "\n#arch=" + std::string(arch) + "\n";
  file.arch = std::string(arch);
  file.headerEnd = file.bytes.size();
  return file;
}

std::string WineKeyBlock(std::wstring_view path, const RegistryKey& key, std::uint64_t filetime,
                         std::string_view options) {
  // Appended piece by piece: GCC 12's -Wrestrict misreads "[" + string at -O3.
  std::string out(1, '[');
  out += EscapedPath(path);
  out += "] ";
  out += std::to_string(filetime >= kTicks1601To1970 ? (filetime - kTicks1601To1970) / kTicksPerSecond : 0);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "\n#time=%x%08x\n", static_cast<unsigned>(filetime >> 32),
                static_cast<unsigned>(filetime & 0xFFFFFFFF));
  out += buffer;
  out += options;
  for (const auto& [name, value] : key.values()) AppendValue(out, name, value);
  return out;
}

namespace {

struct Writer {
  const RegistryTree& tree;
  WineRegistryFile& file;
  std::uint64_t now;
  std::string out;
  std::vector<WineRegistryFile::Block> blocks;
  bool reindex;            // blocks were dropped, so their numbers change
  WineRegistryFile fresh;  // the new index when they do

  void Add(std::string_view text, WineRegistryFile::Block block) {
    block.begin = out.size();
    out += text;
    block.end = out.size();
    const std::string* key = block.key;
    if (reindex) block.next = static_cast<std::size_t>(-1);
    blocks.push_back(std::move(block));
    if (key && reindex) IndexBlock(fresh, blocks, *key, blocks.size() - 1);
  }

  void AppendNewKeys(const RegistryKey& key, const std::wstring& path, bool isRoot) {
    // Wine keeps a key that has values or no subkeys; the others come back
    // with their subkeys.  A key loaded as a parent may have subkeys in the
    // file that were never loaded, and a key with a block has it already.
    if (!key.values().empty() || (key.subkeys().empty() && !isRoot)) {
      std::string indexKey = WineIndexKey(path);
      const auto& index = reindex ? fresh.index : file.index;
      if (!index.count(indexKey) && !(key.values().empty() && file.implicit.count(indexKey))) {
        if (out.size() < 2 || out.compare(out.size() - 2, 2, "\n\n") != 0) {
          out += '\n';
          if (!blocks.empty()) blocks.back().end = out.size();
        }
        file.original[indexKey] = {path, key.values()};
        WineRegistryFile::Block block;
        block.path = path;
        block.loaded = true;
        if (reindex) {
          block.key = &indexKey;
          Add(WineKeyBlock(path, key, now, {}), std::move(block));
        } else {
          Add(WineKeyBlock(path, key, now, {}), std::move(block));
          IndexBlock(file, blocks, indexKey, blocks.size() - 1);
        }
      }
    }
    for (const auto& entry : key.subkeys())
      AppendNewKeys(*entry.second, isRoot ? entry.second->name() : path + L"\\" + entry.second->name(), false);
  }
};

}  // namespace

std::string WriteWineRegistry(const RegistryTree& tree, WineRegistryFile& file, std::uint64_t now) {
  // Block numbers stay as they are unless a key went; then the index is
  // made again.
  bool dropped = false;
  for (std::size_t n = 0; n < file.blocks.size(); ++n) {
    const WineRegistryFile::Block& block = file.blocks[n];
    // A key with several blocks loses the later ones when it changes.
    if (block.key && block.loaded &&
        (!tree.FindKey(block.path) || block.next != static_cast<std::size_t>(-1) || file.index[*block.key] != n))
      dropped = true;
  }
  Writer w{tree, file, now, file.bytes.substr(0, file.headerEnd), {}, dropped, {}};
  if (dropped) w.fresh.index.reserve(file.index.size() + 16);
  w.blocks.reserve(file.blocks.size() + 16);
  w.out.reserve(file.bytes.size() + 4096);
  std::unordered_set<const RegistryKey*> changed;
  std::string_view old = file.bytes;
  for (WineRegistryFile::Block& block : file.blocks) {
    std::string_view text = old.substr(block.begin, block.end - block.begin);
    if (!block.key || !block.loaded) {
      w.Add(text, std::move(block));  // as it was
      continue;
    }
    const RegistryKey* key = tree.FindKey(block.path);
    if (!key) {
      file.original.erase(*block.key);
      continue;
    }
    if (changed.count(key)) continue;  // a key found twice is written once when it changed
    auto original = file.original.find(*block.key);
    if (original != file.original.end() && original->second.values == key->values()) {
      w.Add(text, std::move(block));
      continue;
    }
    changed.insert(key);
    std::string fresh = WineKeyBlock(block.path, *key, now, block.options);
    // Keep the blank lines that ended the block.
    std::size_t keep = text.size();
    while (keep > 0 && (text[keep - 1] == '\n' || text[keep - 1] == '\r')) --keep;
    std::size_t firstBreak = text.find('\n', keep);
    if (firstBreak != std::string_view::npos) fresh.append(text.substr(firstBreak + 1));
    file.original[*block.key] = {block.path, key->values()};
    w.Add(fresh, std::move(block));
  }
  w.AppendNewKeys(tree.root(), L"", true);
  file.blocks = std::move(w.blocks);
  if (dropped) file.index = std::move(w.fresh.index);  // the blocks' key pointers lead into its nodes, which move along
  file.bytes = w.out;
  return std::move(w.out);
}

}  // namespace kestrel
