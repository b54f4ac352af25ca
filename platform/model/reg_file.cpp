#include "platform/model/reg_file.h"

#include <algorithm>
#include <optional>

#include "platform/model/text_blanks.h"
#include "platform/platform.h"
#include "text/nocase.h"
#include "text/utf.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

constexpr std::wstring_view kHeader5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeader4 = L"REGEDIT4";
constexpr std::wstring_view kHeader31 = L"REGEDIT";
// The registry's own limits: longer names and deeper keys cannot exist.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxValueNameChars = 16383;
using win::kRegBinary, win::kRegDword, win::kRegExpandSz, win::kRegMultiSz, win::kRegSz;

std::wstring_view TrimLeft(std::wstring_view s) {
  while (!s.empty() && IsRegFileBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::wstring_view TrimRight(std::wstring_view s) {
  while (!s.empty() && IsRegFileBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Only blanks or a comment may follow a value's data.
bool OnlyComment(std::wstring_view rest) {
  rest = TrimLeft(rest);
  return rest.empty() || rest.front() == L';';
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// wcstoul(s, &end, 16) of the 32-bit C runtime the registry editor uses:
// white space, a sign and "0x" may come first; `end` is 0 when no digit
// was read; a number beyond 32 bits is none at all.
struct HexNumber {
  std::uint32_t value = 0;
  std::size_t end = 0;
  bool overflow = false;
};
HexNumber ParseHexNumber(std::wstring_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsCRuntimeSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  if (i + 2 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X') && HexDigit(s[i + 2]) >= 0)
    i += 2;
  HexNumber n;
  std::uint64_t value = 0;
  std::size_t first = i;
  while (i < s.size() && HexDigit(s[i]) >= 0) {
    value = value * 16 + HexDigit(s[i++]);
    if (value > 0xFFFFFFFFu) n.overflow = true, value = 0xFFFFFFFFu;
  }
  if (i == first) return n;
  n.end = i;
  n.value = n.overflow ? 0xFFFFFFFFu : static_cast<std::uint32_t>(negative ? 0u - value : value);
  return n;
}

// A quoted text starting after its opening quote, with the registry
// editor's escapes (\\ \" \n \r; any other character after a backslash
// stands for itself; \0 is refused): the text and what follows the
// closing quote.  None when the quote is never closed or a \0 is met.
std::optional<std::wstring> Unquote(std::wstring_view& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c == L'"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == L'\\') {
      if (++i == s.size()) return std::nullopt;
      switch (wchar_t e = s[i]) {
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L'0': return std::nullopt;
        default: out += e; break;
      }
      continue;
    }
    out += c;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text, bool terminate) {
  std::string b = WideToUtf16Le(text);
  if (terminate) b.append(2, '\0');
  return std::vector<std::uint8_t>(b.begin(), b.end());
}

std::vector<std::wstring_view> SplitLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring_view::npos) end = text.size();
    // A line ends at a zero character, as the editor's C strings do.
    std::wstring_view line = text.substr(pos, end - pos);
    lines.push_back(line.substr(0, line.find(L'\0')));
    pos = end;
    if (pos < text.size() && text[pos] == L'\r') ++pos;
    if (pos < text.size() && text[pos] == L'\n') ++pos;
  }
  return lines;
}

// The hive of a key name as a registry file writes it: a root name
// (any case) alone or followed by "\".
RegistryTree* ResolveKey(const RegHiveResolver& hives, std::wstring_view name, std::wstring& path) {
  std::size_t cut = name.find(L'\\');
  path = cut == std::wstring_view::npos ? std::wstring() : std::wstring(name.substr(cut + 1));
  return hives(name.substr(0, cut), path);
}

// The importer reads a file line by line as the registry editor does, so
// that what it stores is what the editor would store, a malformed line
// included; every line the editor would pass over is reported.
class Importer {
 public:
  Importer(const RegHiveResolver& hives, const std::function<std::wstring(std::string_view)>& ansi,
           const std::vector<std::wstring_view>& lines, bool utf16, RegFileImport& result)
      : hives_(hives), ansi_(ansi), lines_(lines), utf16_(utf16), result_(result) {}

  void Run() {
    while (next_ < lines_.size()) {
      std::size_t number = next_ + 1;
      Line(lines_[next_++], number);
    }
  }

  // The Windows 3.1 form ("REGEDIT"): "HKEY_CLASSES_ROOT\key = text" sets
  // a key's unnamed value; other lines are passed over.
  void RunWin31() {
    constexpr std::wstring_view kRoot = L"HKEY_CLASSES_ROOT";
    for (; next_ < lines_.size(); ++next_) {
      std::wstring_view line = lines_[next_];
      if (line.substr(0, kRoot.size()) != kRoot) continue;
      std::size_t keyEnd = 0;
      while (keyEnd < line.size() && !IsCRuntimeSpace(line[keyEnd])) ++keyEnd;
      std::wstring_view value = TrimLeft(line.substr(keyEnd));
      if (!value.empty() && value.front() == L'=') value.remove_prefix(1);
      if (!value.empty() && value.front() == L' ') value.remove_prefix(1);  // one blank at most
      if (!OpenKey(line.substr(0, keyEnd), next_ + 1)) continue;
      value = value.substr(0, value.find(L'\0'));
      Set(std::wstring(), {kRegSz, Utf16Bytes(value, true)});
    }
  }

 private:
  void Problem(std::size_t line, std::wstring reason) { result_.problems.push_back({line, std::move(reason)}); }

  void Line(std::wstring_view line, std::size_t number) {
    line = TrimLeft(line);
    if (line.empty() || line.front() == L';' || line.front() == L'#') return;
    if (line.front() == L'[') {
      KeyLine(line.substr(1), number);
    } else if (line.front() == L'@') {
      ValueLine(std::wstring(), line.substr(1), number);
    } else if (line.front() == L'"') {
      line.remove_prefix(1);
      std::optional<std::wstring> name = Unquote(line);
      if (!name) {
        Problem(number, L"the value name has no closing quote or holds \\0");
        return;
      }
      if (name->size() > kMaxValueNameChars) {
        Problem(number, L"the value name is longer than 16383 characters");
        return;
      }
      ValueLine(std::move(*name), line, number);
    } else {
      Problem(number, L"not a key or a value");
    }
  }

  // After "[".  A line the editor does not take as a key leaves the key
  // before it open, as the editor does.
  void KeyLine(std::wstring_view line, std::size_t number) {
    std::size_t close = line.rfind(L']');
    if (line.empty() || IsRegFileBlank(line.front()) || close == std::wstring_view::npos) {
      Problem(number, L"not a key name (\"[\" must be followed by the name and \"]\"); the values after it go to "
                      L"the key before");
      return;
    }
    std::wstring_view name = line.substr(0, close);  // anything after the last "]" is passed over
    if (!name.empty() && name.front() == L'-') {
      tree_ = nullptr;
      keyReported_ = true;
      name.remove_prefix(1);
      DeleteKey(name, number);
      return;
    }
    OpenKey(name, number);
  }

  bool OpenKey(std::wstring_view name, std::size_t number) {
    tree_ = nullptr;
    keyReported_ = true;
    std::wstring path;
    RegistryTree* tree = ResolveKey(hives_, name, path);
    if (!tree) {
      Problem(number, L"unknown root key \"" + std::wstring(name.substr(0, name.find(L'\\'))) +
                          L"\"; its values are skipped");
      return false;
    }
    if (!ValidPath(path, number)) return false;
    tree->CreateKey(path);
    ++result_.applied;
    tree_ = tree;
    path_ = std::move(path);
    keyReported_ = false;
    return true;
  }

  void DeleteKey(std::wstring_view name, std::size_t number) {
    if (name.empty() || (name.front() != L'H' && name.front() != L'h')) {
      Problem(number, L"not a key to remove");
      return;
    }
    std::wstring path;
    RegistryTree* tree = ResolveKey(hives_, name, path);
    if (!tree) {
      Problem(number, L"unknown root key \"" + std::wstring(name.substr(0, name.find(L'\\'))) + L"\"");
      return;
    }
    if (SplitKeyPath(path).empty()) {
      Problem(number, L"a root key cannot be removed");
      return;
    }
    if (!ValidPath(path, number)) return;
    if (tree->DeleteKey(path)) ++result_.applied;
  }

  bool ValidPath(const std::wstring& path, std::size_t number) {
    std::vector<std::wstring_view> parts = SplitKeyPath(path);
    if (parts.size() > kMaxKeyDepth) {
      Problem(number, L"the key is more than 512 levels deep; its values are skipped");
      return false;
    }
    for (std::wstring_view part : parts) {
      if (part.size() > kMaxKeyNameChars) {
        Problem(number, L"a key name is longer than 255 characters; its values are skipped");
        return false;
      }
    }
    return true;
  }

  void Set(const std::wstring& name, RegistryValue value) {
    tree_->SetValue(path_, name, std::move(value));
    ++result_.applied;
  }

  // Whether a value may be set or removed: values with no key open are
  // passed over, reported once per key line.
  bool KeyOpen(std::size_t number) {
    if (tree_) return true;
    if (!keyReported_) Problem(number, L"a value before any key");
    keyReported_ = true;
    return false;
  }

  // What follows the value's name on its line.
  void ValueLine(std::wstring name, std::wstring_view line, std::size_t number) {
    line = TrimLeft(line);
    if (line.empty() || line.front() != L'=') {
      Problem(number, L"\"=\" missing after the value name");
      return;
    }
    line = TrimRight(TrimLeft(line.substr(1)));
    if (!line.empty() && line.front() == L'-') {
      if (!OnlyComment(line.substr(1))) {
        Problem(number, L"bad value removal");
      } else if (KeyOpen(number) && tree_->DeleteValue(path_, name)) {
        ++result_.applied;
      }
      return;
    }
    // The type names are matched with their case, as the editor does.
    std::optional<RegistryValue> value;
    if (!line.empty() && line.front() == L'"') {
      line.remove_prefix(1);
      std::optional<std::wstring> text = Unquote(line);
      if (!text || !OnlyComment(line)) {
        Problem(number, L"bad text value");
        return;
      }
      value = RegistryValue{kRegSz, Utf16Bytes(*text, true)};
    } else if (line.substr(0, 6) == L"dword:") {
      value = Dword(line.substr(6));
      if (!value) Problem(number, L"bad dword value (1 to 8 hex digits)");
    } else if (line.substr(0, 4) == L"hex:") {
      value = Hex(kRegBinary, line.substr(4), number);
    } else if (line.substr(0, 4) == L"hex(") {
      line.remove_prefix(4);
      HexNumber type = ParseHexNumber(line);
      std::size_t end = type.end;  // "hex():" is type 0, as the editor reads it
      bool xPrefix = line.size() > 1 && (line[1] == L'x' || line[1] == L'X');
      if (line.empty() || xPrefix || type.overflow || line.substr(end, 2) != L"):") {
        Problem(number, L"bad hex(type) value");
        return;
      }
      value = Hex(type.value, line.substr(end + 2), number);
    } else {
      Problem(number, L"unknown value data");
      return;
    }
    if (value && KeyOpen(number)) Set(name, std::move(*value));
  }

  static std::optional<RegistryValue> Dword(std::wstring_view s) {
    s = TrimLeft(s);
    if (s.empty()) return std::nullopt;
    std::size_t count = 0;
    std::uint32_t n = 0;
    while (count < s.size() && HexDigit(s[count]) >= 0) n = n << 4 | HexDigit(s[count++]);
    // "dword: ;note" is 0, as the editor reads it.
    if (count > 8 || !OnlyComment(s.substr(count))) return std::nullopt;
    return RegistryValue{kRegDword, {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                                     std::uint8_t(n >> 24)}};
  }

  // Comma-separated bytes after "hex:" or "hex(N):"; a line ending in "\"
  // goes on over the next lines that are not blank or a comment.  A
  // continuation that is not hex data ends the value, which is dropped,
  // and that line with it.
  std::optional<RegistryValue> Hex(std::uint32_t type, std::wstring_view s, std::size_t number) {
    RegistryValue value{type, {}};
    if (s.empty()) return value;  // no data: not even a closing zero
    for (;;) {
      bool more = false;
      if (!HexBytes(s, value.data, more)) {
        Problem(number, L"bad hex value");
        return std::nullopt;
      }
      if (!more) break;
      if (!OnlyComment(s)) {
        Problem(number, L"only blanks or a comment may follow \"\\\"");
        return std::nullopt;
      }
      for (;;) {
        if (next_ == lines_.size()) {
          TerminateText(value);
          return value;
        }
        s = TrimLeft(lines_[next_++]);
        if (!s.empty() && s.front() != L';') break;
      }
      if (HexDigit(s.front()) < 0) {
        Problem(next_, L"the hex data before this line ended in \"\\\" but this line is no hex data; both are "
                       L"skipped");
        return std::nullopt;
      }
    }
    TerminateText(value);
    return value;
  }

  // One line's bytes: false when it is not hex data; `more` when it ends
  // in "\", with `s` after it.
  static bool HexBytes(std::wstring_view& s, std::vector<std::uint8_t>& data, bool& more) {
    std::size_t pos = 0;
    while (pos < s.size()) {
      HexNumber n = ParseHexNumber(s.substr(pos));
      if (n.end == 0) {
        std::wstring_view rest = TrimLeft(s.substr(pos));
        if (!rest.empty() && rest.front() == L'\\') {
          more = true;
          s = rest.substr(1);
          return true;
        }
        return !rest.empty() && rest.front() == L';';
      }
      if (n.overflow || n.value > 0xFF) return false;
      data.push_back(static_cast<std::uint8_t>(n.value));
      pos += n.end;
      if (pos < s.size() && s[pos] != L',') return OnlyComment(s.substr(pos));
      if (pos < s.size()) ++pos;
    }
    return true;
  }

  // Text types given as bytes end with a zero, added when missing.  In a
  // UTF-16 file the bytes are UTF-16 already; in an ANSI file they are
  // ANSI text, converted, whatever the header says.
  void TerminateText(RegistryValue& value) {
    if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz) return;
    if (value.data.empty()) return;
    if (utf16_) {
      if (value.data.size() % 2) return;  // half a character: kept as written
      if (value.data[value.data.size() - 1] || value.data[value.data.size() - 2]) value.data.insert(value.data.end(), 2, 0);
      return;
    }
    if (value.data.back() != 0) value.data.push_back(0);
    std::wstring wide = ansi_(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    value.data = Utf16Bytes(wide, false);
  }

  const RegHiveResolver& hives_;
  const std::function<std::wstring(std::string_view)>& ansi_;
  const std::vector<std::wstring_view>& lines_;
  bool utf16_;
  RegFileImport& result_;
  std::size_t next_ = 1;  // the header is line 0
  RegistryTree* tree_ = nullptr;
  std::wstring path_;
  bool keyReported_ = false;
};

// ---- export ----
// The registry editor's own export, byte for byte: a "[key]" line for
// every key (empty ones too), values in the registry's order (by name
// without regard to case), subkeys likewise; text with \\ \" \r \n
// escaped; hex data wrapped before column 80.  Where the editor's form
// would lose data (a text without its closing zero or with a zero inside,
// a dword that is not 4 bytes) the value is written as hex data instead,
// which reads back the same.

std::wstring EscapeText(std::wstring_view s) {
  std::wstring out;
  for (wchar_t c : s) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'"': out += L"\\\""; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\0': out += L"\\0"; break;
      default: out += c;
    }
  }
  return out;
}

// The length in UTF-16 units, as the editor counts its columns.
std::size_t Utf16Length(std::wstring_view s) { return WideToUtf16Le(s).size() / 2; }

// A REG_SZ that reads back the same from its "text" form: whole UTF-16
// units, one closing zero and no other.
std::optional<std::wstring> PlainText(const RegistryValue& v) {
  if (v.data.size() < 2 || v.data.size() % 2 || v.data[v.data.size() - 1] || v.data[v.data.size() - 2])
    return std::nullopt;
  std::wstring text = Utf16LeToWide(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 2));
  if (text.find(L'\0') != std::wstring::npos) return std::nullopt;
  if (WideToUtf16Le(text).size() != v.data.size() - 2) return std::nullopt;  // unpaired surrogates
  return text;
}

constexpr std::size_t kMaxHexColumns = 77;

void ExportValue(std::wstring& out, const std::wstring& name, const RegistryValue& v) {
  std::wstring line = name.empty() ? L"@=" : L"\"" + EscapeText(name) + L"\"=";
  if (v.type == kRegSz) {
    if (std::optional<std::wstring> text = PlainText(v)) {
      out += line + L"\"" + EscapeText(*text) + L"\"\r\n";
      return;
    }
  }
  if (v.type == kRegDword && v.data.size() == 4) {
    std::uint32_t n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<std::uint32_t>(v.data[3]) << 24;
    out += line + FormatWide(L"dword:%08x", {static_cast<unsigned>(n)}) + L"\r\n";
    return;
  }
  line += v.type == kRegBinary ? std::wstring(L"hex:") : FormatWide(L"hex(%x):", {static_cast<unsigned>(v.type)});
  std::size_t columns = Utf16Length(line);
  out += line;
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  for (std::size_t i = 0; i < v.data.size(); ++i) {
    out += kDigits[v.data[i] >> 4];
    out += kDigits[v.data[i] & 15];
    if (i + 1 == v.data.size()) break;
    out += L',';
    columns += 3;
    if (columns >= kMaxHexColumns) {
      out += L"\\\r\n  ";
      columns = 2;
    }
  }
  out += L"\r\n";
}

// The order Wine's registry keeps names in: compared as lower case, so
// "a_" comes before "AB".
std::wstring OrderKey(std::wstring_view name) {
  std::wstring key = ToUpperNoCase(name);
  for (wchar_t& c : key)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return key;
}

template <typename Entry>
std::vector<std::pair<std::wstring, const Entry*>> Ordered(const auto& entries, auto name) {
  std::vector<std::pair<std::wstring, const Entry*>> out;
  out.reserve(entries.size());
  for (const auto& entry : entries) out.emplace_back(OrderKey(name(entry)), &entry);
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

// `path` grows and shrinks in place: a deep key costs its own path once,
// not a copy of it on every level.
void ExportKey(std::wstring& out, const RegistryKey& key, std::wstring& path) {
  out += L"\r\n[" + path + L"]\r\n";
  using Value = RegistryValues::value_type;
  for (const auto& [order, entry] : Ordered<Value>(key.values(), [](const Value& v) { return v.first; }))
    ExportValue(out, entry->first, entry->second);
  using Subkey = std::pair<const std::wstring, std::unique_ptr<RegistryKey>>;
  const std::size_t length = path.size();
  for (const auto& [order, entry] : Ordered<Subkey>(key.subkeys(), [](const Subkey& k) { return k.second->name(); })) {
    path += L'\\';
    path += entry->second->name();
    ExportKey(out, *entry->second, path);
    path.resize(length);
  }
}

}  // namespace

RegHiveResolver StandardHives(RegistryTree& localMachine, RegistryTree& currentUser) {
  return [&localMachine, &currentUser](std::wstring_view root, std::wstring& path) -> RegistryTree* {
    if (EqualsNoCase(root, L"HKEY_LOCAL_MACHINE")) return &localMachine;
    if (EqualsNoCase(root, L"HKEY_CURRENT_USER")) return &currentUser;
    if (EqualsNoCase(root, L"HKEY_CLASSES_ROOT")) {
      path = path.empty() ? L"SOFTWARE\\Classes" : L"SOFTWARE\\Classes\\" + path;
      return &localMachine;
    }
    return nullptr;
  };
}

RegFileImport ImportRegFile(std::string_view bytes, const RegHiveResolver& hives,
                            const std::function<std::wstring(std::string_view)>& ansiToWide) {
  RegFileImport result;
  std::wstring text;
  bool utf16 = bytes.substr(0, 2) == "\xFF\xFE";
  bool utf8 = !utf16 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (utf16) text = Utf16LeToWide(bytes.substr(2));
  else if (utf8) text = Utf8ToWide(bytes.substr(3));
  else text = ansiToWide(bytes);
  std::vector<std::wstring_view> lines = SplitLines(text);
  // The header is the first line exactly; blanks may only come before it.
  std::wstring_view header = lines.empty() ? std::wstring_view() : TrimLeft(lines[0]);
  if (header != kHeader5 && header != kHeader4 && header.substr(0, kHeader31.size()) != kHeader31) {
    result.problems.push_back({1, L"not a registry file (no \"Windows Registry Editor Version 5.00\" or "
                                  L"\"REGEDIT4\" header)"});
    return result;
  }
  result.recognized = true;
  // A UTF-8 file is a Unicode file: its hex data of text types is UTF-16.
  Importer importer(hives, ansiToWide, lines, utf16 || utf8, result);
  if (header == kHeader31) {
    importer.RunWin31();
  } else if (header != kHeader5 && header != kHeader4) {
    // "REGEDIT" followed by anything else: taken as a registry file whose
    // content is not imported, as the editor does.
    result.problems.push_back({1, L"unknown registry file version \"" + std::wstring(header) + L"\"; nothing imported"});
  } else {
    importer.Run();
  }
  return result;
}

std::wstring RegFileEscape(std::wstring_view text) { return EscapeText(text); }

std::string ExportRegFile(const RegistryTree& tree, std::wstring_view rootName) {
  std::wstring out(kHeader5);
  out += L"\r\n";
  std::wstring path(rootName);
  ExportKey(out, tree.root(), path);
  out += L"\r\n";
  return "\xFF\xFE" + WideToUtf16Le(out);
}

}  // namespace kestrel
