#include "platform/model/reg_file.h"

#include <optional>

#include "text/nocase.h"
#include "text/utf.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

constexpr std::wstring_view kHeader5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeader4 = L"REGEDIT4";
// The registry's own limits: longer names and deeper keys cannot exist.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimLeft(std::wstring_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  return s;
}

std::wstring_view TrimRight(std::wstring_view s) {
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
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

// A quoted text starting after its opening quote: the unescaped text and
// what follows the closing quote.  None when the quote is never closed.
std::optional<std::wstring> Unquote(std::wstring_view& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c == L'"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == L'\\' && i + 1 < s.size()) {
      wchar_t e = s[++i];
      switch (e) {
        case L'\\': out += L'\\'; break;
        case L'"': out += L'"'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L'0': out += L'\0'; break;
        default: out += L'\\'; out += e; break;  // kept as written, like regedit
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
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == L'\r') ++pos;
    if (pos < text.size() && text[pos] == L'\n') ++pos;
  }
  return lines;
}

class Importer {
 public:
  Importer(const RegHiveResolver& hives, const std::function<std::wstring(std::string_view)>& ansi, bool unicode)
      : hives_(hives), ansi_(ansi), unicode_(unicode) {}

  void Run(const std::vector<std::wstring_view>& lines, RegFileImport& result) {
    result_ = &result;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      std::wstring_view line = TrimLeft(lines[i]);
      std::size_t number = i + 1;
      if (line.empty() || line.front() == L';' || line.front() == L'#') continue;
      if (line.front() == L'[') {
        KeyLine(line, number);
      } else if (line.front() == L'"' || line.front() == L'@') {
        // Hex data may go on over the following lines, each ended by "\".
        std::wstring joined(TrimRight(line));
        while (!joined.empty() && joined.back() == L'\\' && i + 1 < lines.size()) {
          joined.pop_back();
          std::wstring_view next = TrimLeft(lines[++i]);
          while (!next.empty() && next.front() == L';' && i + 1 < lines.size()) next = TrimLeft(lines[++i]);
          joined += TrimRight(next);
        }
        ValueLine(joined, number);
      } else {
        Problem(number, L"not a key or a value");
      }
    }
  }

 private:
  void Problem(std::size_t line, std::wstring reason) { result_->problems.push_back({line, std::move(reason)}); }

  void KeyLine(std::wstring_view line, std::size_t number) {
    tree_ = nullptr;
    keyReported_ = true;
    line = TrimRight(line);
    std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos || !OnlyComment(line.substr(close + 1))) {
      Problem(number, L"a key name must end with \"]\"");
      return;
    }
    std::wstring_view name = line.substr(1, close - 1);
    bool remove = !name.empty() && name.front() == L'-';
    if (remove) name.remove_prefix(1);
    std::size_t cut = name.find(L'\\');
    std::wstring_view rootName = name.substr(0, cut);
    std::wstring_view rest = cut == std::wstring_view::npos ? std::wstring_view() : name.substr(cut + 1);
    std::wstring path(rest);
    RegistryTree* tree = hives_(rootName, path);
    if (!tree) {
      Problem(number, L"unknown root key \"" + std::wstring(rootName) + L"\"; its values are skipped");
      return;
    }
    std::vector<std::wstring_view> parts = SplitKeyPath(path);
    if (parts.size() > kMaxKeyDepth) {
      Problem(number, L"the key is more than 512 levels deep; its values are skipped");
      return;
    }
    for (std::wstring_view part : parts) {
      if (part.size() > kMaxKeyNameChars) {
        Problem(number, L"a key name is longer than 255 characters; its values are skipped");
        return;
      }
    }
    if (remove) {
      if (parts.empty()) {
        Problem(number, L"a root key cannot be removed");
        return;
      }
      if (tree->DeleteKey(path)) ++result_->applied;
      return;
    }
    tree->CreateKey(path);
    ++result_->applied;
    tree_ = tree;
    path_ = std::move(path);
    keyReported_ = false;
  }

  void ValueLine(std::wstring_view line, std::size_t number) {
    if (!tree_) {
      // Values under a key that was already reported are not reported again.
      if (!keyReported_) Problem(number, L"a value before any key");
      return;
    }
    std::wstring name;
    if (line.front() == L'@') {
      line.remove_prefix(1);
    } else {
      line.remove_prefix(1);
      std::optional<std::wstring> quoted = Unquote(line);
      if (!quoted) {
        Problem(number, L"the value name has no closing quote");
        return;
      }
      name = std::move(*quoted);
      if (name.size() > kMaxValueNameChars) {
        Problem(number, L"the value name is longer than 16383 characters");
        return;
      }
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != L'=') {
      Problem(number, L"\"=\" missing after the value name");
      return;
    }
    line = TrimLeft(line.substr(1));

    RegistryValue value;
    if (!line.empty() && line.front() == L'"') {
      line.remove_prefix(1);
      std::optional<std::wstring> text = Unquote(line);
      if (!text || !OnlyComment(line)) {
        Problem(number, L"bad text value");
        return;
      }
      value = {kRegSz, Utf16Bytes(*text, true)};
    } else if (!line.empty() && line.front() == L'-') {
      if (!OnlyComment(line.substr(1))) {
        Problem(number, L"bad value removal");
        return;
      }
      if (tree_->DeleteValue(path_, name)) ++result_->applied;
      return;
    } else if (line.size() >= 6 && EqualsNoCase(line.substr(0, 6), L"dword:")) {
      std::wstring_view digits = line.substr(6);
      std::uint32_t n = 0;
      std::size_t count = 0;
      while (count < digits.size() && HexDigit(digits[count]) >= 0) n = n << 4 | HexDigit(digits[count++]);
      if (count == 0 || count > 8 || !OnlyComment(digits.substr(count))) {
        Problem(number, L"bad dword value");
        return;
      }
      value = {kRegDword, {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)}};
    } else if (line.size() >= 3 && EqualsNoCase(line.substr(0, 3), L"hex")) {
      std::optional<RegistryValue> hex = Hex(line.substr(3));
      if (!hex) {
        Problem(number, L"bad hex value");
        return;
      }
      value = std::move(*hex);
    } else {
      Problem(number, L"unknown value data");
      return;
    }
    tree_->SetValue(path_, name, std::move(value));
    ++result_->applied;
  }

  // "(N):xx,xx,..." or ":xx,xx,..." after "hex".
  std::optional<RegistryValue> Hex(std::wstring_view s) {
    RegistryValue value{kRegBinary, {}};
    if (!s.empty() && s.front() == L'(') {
      std::size_t close = s.find(L')');
      if (close == std::wstring_view::npos || close == 1 || close > 9) return std::nullopt;
      std::uint32_t type = 0;
      for (wchar_t c : s.substr(1, close - 1)) {
        if (HexDigit(c) < 0) return std::nullopt;
        type = type << 4 | HexDigit(c);
      }
      value.type = type;
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != L':') return std::nullopt;
    s.remove_prefix(1);
    std::size_t comment = s.find(L';');
    if (comment != std::wstring_view::npos) s = s.substr(0, comment);
    s = TrimRight(s);
    std::size_t pos = 0;
    while (pos < s.size()) {
      std::size_t comma = s.find(L',', pos);
      std::wstring_view item = TrimRight(TrimLeft(s.substr(pos, comma == std::wstring_view::npos ? s.npos : comma - pos)));
      bool last = comma == std::wstring_view::npos;
      if (item.empty() && last && pos > 0) break;  // a trailing comma
      if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 || (item.size() == 2 && HexDigit(item[1]) < 0))
        return std::nullopt;
      value.data.push_back(static_cast<std::uint8_t>(item.size() == 1 ? HexDigit(item[0])
                                                                     : HexDigit(item[0]) * 16 + HexDigit(item[1])));
      if (last) break;
      pos = comma + 1;
    }
    // REGEDIT4 files hold these two types as ANSI text.
    if (!unicode_ && (value.type == kRegExpandSz || value.type == kRegMultiSz)) {
      std::string ansi(value.data.begin(), value.data.end());
      value.data = Utf16Bytes(ansi_(ansi), false);
    }
    return value;
  }

  const RegHiveResolver& hives_;
  const std::function<std::wstring(std::string_view)>& ansi_;
  bool unicode_;
  RegFileImport* result_ = nullptr;
  RegistryTree* tree_ = nullptr;
  std::wstring path_;
  bool keyReported_ = false;
};

// ---- export ----

std::wstring Escape(std::wstring_view s) {
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

// A REG_SZ that reads back the same from its "text" form: whole UTF-16
// units, one closing zero, no other zero and no line break.
std::optional<std::wstring> PlainText(const RegistryValue& v) {
  if (v.data.size() < 2 || v.data.size() % 2 || v.data[v.data.size() - 1] || v.data[v.data.size() - 2])
    return std::nullopt;
  std::wstring text = Utf16LeToWide(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 2));
  if (text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring::npos) return std::nullopt;
  if (WideToUtf16Le(text).size() != v.data.size() - 2) return std::nullopt;  // unpaired surrogates
  return text;
}

void ExportValue(std::wstring& out, const std::wstring& name, const RegistryValue& v) {
  std::wstring line = name.empty() ? L"@=" : L"\"" + Escape(name) + L"\"=";
  if (v.type == kRegSz) {
    if (std::optional<std::wstring> text = PlainText(v)) {
      out += line + L"\"" + Escape(*text) + L"\"\r\n";
      return;
    }
  }
  if (v.type == kRegDword && v.data.size() == 4) {
    std::uint32_t n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<std::uint32_t>(v.data[3]) << 24;
    out += line + FormatWide(L"dword:%08x", {static_cast<unsigned>(n)}) + L"\r\n";
    return;
  }
  line += v.type == kRegBinary ? std::wstring(L"hex:") : FormatWide(L"hex(%x):", {static_cast<unsigned>(v.type)});
  for (std::size_t i = 0; i < v.data.size(); ++i) {
    line += FormatWide(L"%02x", {static_cast<unsigned>(v.data[i])});
    if (i + 1 < v.data.size()) {
      line += L',';
      if (line.size() > 76) {  // regedit keeps its lines to about 80 characters
        out += line + L"\\\r\n";
        line = L"  ";
      }
    }
  }
  out += line + L"\r\n";
}

// `path` grows and shrinks in place: a deep key costs its own path once,
// not a copy of it on every level.
void ExportKey(std::wstring& out, const RegistryKey& key, std::wstring& path, bool isRoot) {
  if (!isRoot || !key.values().empty()) {
    out += L"\r\n[" + path + L"]\r\n";
    for (const auto& [name, value] : key.values()) ExportValue(out, name, value);
  }
  const std::size_t length = path.size();
  for (const auto& entry : key.subkeys()) {
    path += L'\\';
    path += entry.second->name();
    ExportKey(out, *entry.second, path, false);
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
  if (bytes.substr(0, 2) == "\xFF\xFE") text = Utf16LeToWide(bytes.substr(2));
  else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") text = Utf8ToWide(bytes.substr(3));
  else text = ansiToWide(bytes);
  std::vector<std::wstring_view> lines = SplitLines(text);
  std::wstring_view header = lines.empty() ? std::wstring_view() : TrimRight(TrimLeft(lines[0]));
  bool unicode = header == kHeader5;
  if (!unicode && header != kHeader4) {
    result.problems.push_back({1, L"not a registry file (no \"Windows Registry Editor Version 5.00\" or "
                                  L"\"REGEDIT4\" header)"});
    return result;
  }
  result.recognized = true;
  Importer(hives, ansiToWide, unicode).Run(lines, result);
  return result;
}

std::string ExportRegFile(const RegistryTree& tree, std::wstring_view rootName) {
  std::wstring out(kHeader5);
  out += L"\r\n";
  std::wstring path(rootName);
  ExportKey(out, tree.root(), path, true);
  out += L"\r\n";
  return "\xFF\xFE" + WideToUtf16Le(out);
}

}  // namespace kestrel
