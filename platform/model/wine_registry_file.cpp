#include "platform/model/wine_registry_file.h"

#include <cstdio>
#include <unordered_set>

#include "platform/platform.h"
#include "util/nocase.h"
#include "util/utf.h"

namespace kestrel {

namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kTicks1601To1970 = 86400ULL * (369 * 365 + 89) * kTicksPerSecond;

bool IsHex(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

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
    if (pos == std::string_view::npos) return false;
    name = UnitsToWide(units);
  }
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
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
      while (i < data.size() && IsBlank(data[i])) ++i;
      if (i < data.size() && data[i] == ',') ++i;
      while (i < data.size() && IsBlank(data[i])) ++i;
    }
    if (i == data.size()) return true;
    if (data[i] != '\\' || rest.empty()) return false;
    // The data goes on in the next line.
    std::size_t eol = rest.find('\n');
    data = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    while (!data.empty() && IsBlank(data.front())) data.remove_prefix(1);
    while (!data.empty() && data.back() == '\r') data.remove_suffix(1);
  }
}

}  // namespace

std::uint64_t FileTimeOf(std::int64_t seconds, long nanoseconds) {
  return static_cast<std::uint64_t>(seconds) * kTicksPerSecond + kTicks1601To1970 +
         static_cast<std::uint64_t>(nanoseconds / 100);
}

std::string WineRegistryHeader(std::string_view relativeTo, std::string_view arch) {
  std::string out(kMagic);
  out += "\n;; All keys relative to ";
  out += relativeTo;
  out += "\n";
  if (!arch.empty()) {
    out += "\n#arch=";
    out += arch;
    out += "\n";
  }
  return out;
}

bool ReadWineRegistry(std::string_view bytes, RegistryTree& tree, WineRegistryFile& file) {
  tree = RegistryTree();
  file = WineRegistryFile();
  std::size_t eol = bytes.find('\n');
  std::string_view first = bytes.substr(0, eol);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first != kMagic) return false;

  std::string_view rest = eol == std::string_view::npos ? std::string_view() : bytes.substr(eol + 1);
  RegistryKey* key = nullptr;
  std::wstring keyPath;
  std::size_t blockStart = std::string_view::npos;
  std::vector<std::wstring> order;  // upper-cased paths of the keys read, for their originals
  auto closeBlock = [&](std::size_t end) {
    if (blockStart == std::string_view::npos) file.header = std::string(bytes.substr(0, end));
    else file.blocks.back().text = std::string(bytes.substr(blockStart, end - blockStart));
  };
  std::u16string units;
  std::wstring name;
  RegistryValue value;
  while (!rest.empty()) {
    std::size_t lineStart = static_cast<std::size_t>(rest.data() - bytes.data());
    std::size_t next = rest.find('\n');
    std::string_view line = rest.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t lead = 0;
    while (lead < line.size() && IsBlank(line[lead])) ++lead;
    line.remove_prefix(lead);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      closeBlock(lineStart);
      blockStart = lineStart;
      file.blocks.emplace_back();
      std::size_t end = ParseEscaped(line, 1, ']', units);
      if (end == std::string_view::npos) {
        // Kept as it is while the root keeps its values.
        ++file.problems;
        key = nullptr;
        order.emplace_back();
        continue;
      }
      keyPath = UnitsToWide(units);
      file.blocks.back().path = keyPath;
      key = tree.CreateKey(keyPath);
      order.push_back(ToUpperNoCase(keyPath));
      continue;
    }
    if (line[0] == '#') {
      if (blockStart == std::string_view::npos) {
        if (line.substr(0, 6) == "#arch=") file.arch = std::string(line.substr(6));
      } else if (line.substr(0, 6) != "#time=") {
        file.blocks.back().options.append(line);
        file.blocks.back().options += '\n';
      }
      continue;
    }
    if (line[0] == '"' || line[0] == '@') {
      if (!key || !ParseValue(line, rest, name, value)) {
        ++file.problems;
        continue;
      }
      key->SetValue(name, std::move(value));
      continue;
    }
    ++file.problems;
  }
  closeBlock(bytes.size());
  for (const std::wstring& path : order) {
    auto [it, fresh] = file.original.try_emplace(path);
    if (fresh)
      if (const RegistryKey* k = tree.FindKey(path)) it->second = k->values();
  }
  return true;
}

std::string WineKeyBlock(std::wstring_view path, const RegistryKey& key, std::uint64_t filetime,
                         std::string_view options) {
  std::string out = "[" + EscapedPath(path) + "] ";
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
  std::unordered_set<const RegistryKey*> written;

  void Add(std::wstring path, std::string text, std::string options) {
    out += text;
    blocks.push_back({std::move(path), std::move(text), std::move(options)});
  }

  void AppendNewKeys(const RegistryKey& key, const std::wstring& path, bool isRoot) {
    // Wine keeps a key that has values or no subkeys; the others come back
    // with their subkeys.
    if (!written.count(&key) && (!key.values().empty() || (key.subkeys().empty() && !isRoot))) {
      if (out.size() < 2 || out.compare(out.size() - 2, 2, "\n\n") != 0) {
        out += '\n';
        if (!blocks.empty()) blocks.back().text += '\n';
      }
      file.original[ToUpperNoCase(path)] = key.values();
      Add(path, WineKeyBlock(path, key, now, {}), {});
    }
    for (const auto& entry : key.subkeys())
      AppendNewKeys(*entry.second, isRoot ? entry.second->name() : path + L"\\" + entry.second->name(), false);
  }
};

}  // namespace

std::string WriteWineRegistry(const RegistryTree& tree, WineRegistryFile& file, std::uint64_t now) {
  Writer w{tree, file, now, file.header, {}, {}};
  std::unordered_set<const RegistryKey*> changed;
  for (WineRegistryFile::Block& block : file.blocks) {
    const RegistryKey* key = tree.FindKey(block.path);
    std::wstring upper = ToUpperNoCase(block.path);
    if (!key) {
      file.original.erase(upper);
      continue;
    }
    if (changed.count(key)) continue;  // a key found twice is written once when it changed
    w.written.insert(key);
    auto original = file.original.find(upper);
    if (original != file.original.end() && original->second == key->values()) {
      w.Add(std::move(block.path), std::move(block.text), std::move(block.options));
      continue;
    }
    changed.insert(key);
    std::string text = WineKeyBlock(block.path, *key, now, block.options);
    // Keep the blank lines that ended the block.
    std::size_t keep = block.text.size();
    while (keep > 0 && (block.text[keep - 1] == '\n' || block.text[keep - 1] == '\r')) --keep;
    std::size_t firstBreak = block.text.find('\n', keep);
    if (firstBreak != std::string::npos) text.append(block.text, firstBreak + 1, std::string::npos);
    file.original[upper] = key->values();
    w.Add(std::move(block.path), std::move(text), std::move(block.options));
  }
  w.AppendNewKeys(tree.root(), L"", true);
  file.blocks = std::move(w.blocks);
  return std::move(w.out);
}

}  // namespace kestrel
