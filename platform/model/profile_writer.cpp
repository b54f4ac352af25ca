#include "platform/model/profile_writer.h"

#include <vector>

#include "platform/model/profile_text.h"
#include "platform/model/text_blanks.h"

#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

namespace {

enum class Encoding { kUtf16Le, kUtf16Be, kUtf8Bom, kUtf8, kAscii, kAnsi };

bool HasBreak(std::wstring_view s) { return s.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos; }

// One line of the file, in units (bytes, or UTF-16 code units).
struct Line {
  std::size_t start = 0;  // first unit
  std::size_t end = 0;    // unit after the text
  std::size_t next = 0;   // unit after the line end
};

class UnitText {
 public:
  UnitText(std::string_view bytes, Encoding enc, std::size_t bom) : bytes_(bytes), enc_(enc), bom_(bom) {
    wide_ = enc == Encoding::kUtf16Le || enc == Encoding::kUtf16Be;
  }
  std::size_t size() const { return (bytes_.size() - bom_) / (wide_ ? 2 : 1); }
  unsigned At(std::size_t i) const {
    if (!wide_) return static_cast<unsigned char>(bytes_[bom_ + i]);
    unsigned char a = bytes_[bom_ + 2 * i], b = bytes_[bom_ + 2 * i + 1];
    return enc_ == Encoding::kUtf16Le ? (a | b << 8) : (b | a << 8);
  }
  std::size_t ByteOffset(std::size_t unit) const { return bom_ + unit * (wide_ ? 2 : 1); }
  std::string_view Bytes(std::size_t from, std::size_t to) const {
    return bytes_.substr(ByteOffset(from), ByteOffset(to) - ByteOffset(from));
  }

 private:
  std::string_view bytes_;
  Encoding enc_;
  std::size_t bom_;
  bool wide_ = false;
};

std::string Encode(std::wstring_view text, Encoding enc, const AnsiCodec& ansi) {
  switch (enc) {
    case Encoding::kUtf16Le: return WideToUtf16Le(text);
    case Encoding::kUtf16Be: {
      std::string s = WideToUtf16Le(text);
      for (std::size_t i = 0; i + 1 < s.size(); i += 2) std::swap(s[i], s[i + 1]);
      return s;
    }
    case Encoding::kUtf8Bom:
    case Encoding::kUtf8: return WideToUtf8(text);
    case Encoding::kAnsi: return ansi.fromWide(text);
    case Encoding::kAscii: {
      // ANSI like Windows, unless that loses the text or makes it read
      // back as UTF-8.
      std::string a = ansi.fromWide(text);
      bool ascii = true;
      for (char c : a) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
      if (ansi.toWide(a) == text && (ascii || !IsValidUtf8(a))) return a;
      return WideToUtf8(text);
    }
  }
  return std::string();
}

}  // namespace

std::optional<std::string> ProfileWrite(std::string_view bytes, std::wstring_view section,
                                        const std::optional<std::wstring>& key,
                                        const std::optional<std::wstring>& value, const AnsiCodec& ansi) {
  if (HasBreak(section) || (key && HasBreak(*key)) || (value && HasBreak(*value))) return std::nullopt;
  // A key holding "=" would read back as the key before it, one starting
  // with "[" as a section header: either changes other keys of the file.
  if (key) {
    std::wstring_view name = TrimProfileBlanks(*key);
    if (name.find(L'=') != std::wstring_view::npos || name.starts_with(L'[')) return std::nullopt;
  }

  Encoding enc;
  std::size_t bom = 0;
  auto starts = [&](std::string_view b) { return bytes.substr(0, b.size()) == b; };
  if (starts("\xFF\xFE")) enc = Encoding::kUtf16Le, bom = 2;
  else if (starts("\xFE\xFF")) enc = Encoding::kUtf16Be, bom = 2;
  else if (starts("\xEF\xBB\xBF")) enc = Encoding::kUtf8Bom, bom = 3;
  else if (!IsValidUtf8(bytes)) enc = Encoding::kAnsi;
  else {
    enc = Encoding::kAscii;
    for (char c : bytes)
      if (static_cast<unsigned char>(c) >= 0x80) {
        enc = Encoding::kUtf8;
        break;
      }
  }
  UnitText text(bytes, enc, bom);

  // Lines and the file's own line end.
  std::vector<Line> lines;
  std::wstring eol;
  for (std::size_t pos = 0, n = text.size(); pos < n;) {
    Line line{pos, pos, pos};
    while (line.end < n && text.At(line.end) != '\r' && text.At(line.end) != '\n') ++line.end;
    line.next = line.end;
    if (line.next < n && text.At(line.next) == '\r') ++line.next;
    if (line.next < n && text.At(line.next) == '\n' && (line.next == line.end || text.At(line.end) == '\r')) ++line.next;
    if (eol.empty() && line.next > line.end)
      eol = line.next - line.end == 2 ? L"\r\n" : (text.At(line.end) == '\r' ? L"\r" : L"\n");
    lines.push_back(line);
    pos = line.next;
  }
  if (eol.empty()) eol = L"\r\n";

  auto decode = [&](const Line& l) -> std::wstring {
    std::string_view b = text.Bytes(l.start, l.end);
    switch (enc) {
      case Encoding::kUtf16Le: return Utf16LeToWide(b);
      case Encoding::kUtf16Be: {
        std::string s(b);
        for (std::size_t i = 0; i + 1 < s.size(); i += 2) std::swap(s[i], s[i + 1]);
        return Utf16LeToWide(s);
      }
      case Encoding::kAnsi: return ansi.toWide(b);
      default: return Utf8ToWide(b);
    }
  };
  // Only lines that may start a section need decoding outside the target
  // section, which keeps a write to a large ANSI file cheap.
  auto mayBeHeader = [&](const Line& l) {
    for (std::size_t i = l.start; i < l.end; ++i) {
      unsigned c = text.At(i);
      // The reader's blanks: a header may stand after any of them (a unit
      // past ASCII may be part of one, so that line is decoded).
      if (c < 0x80 && IsProfileBlank(static_cast<wchar_t>(c))) continue;
      return c == '[' || c >= 0x80;
    }
    return false;
  };
  auto headerName = [](std::wstring_view line, std::wstring& name) {
    line = TrimProfileBlanks(line);
    if (line.empty() || line.front() != L'[') return false;
    std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos) return false;
    name = std::wstring(UpToNul(TrimProfileBlanks(line.substr(1, close - 1))));
    return true;
  };

  // Find the first section of that name: its header line and its last line.
  std::wstring_view wanted = TrimProfileBlanks(section);
  std::size_t header = lines.size(), last = lines.size(), sectionEnd = lines.size();
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::wstring name;
    bool isHeader = mayBeHeader(lines[i]) && headerName(decode(lines[i]), name);
    if (isHeader) {
      if (inside) {
        sectionEnd = i;
        break;
      }
      if (header == lines.size() && EqualsNoCase(name, wanted)) {
        header = last = i;
        inside = true;
      }
    } else if (inside && !TrimProfileBlanks(decode(lines[i])).empty()) {
      last = i;
    }
  }

  std::string out;
  auto keep = [&](std::size_t fromUnit, std::size_t toUnit) { out += text.Bytes(fromUnit, toUnit); };
  // To the end of the file, an odd last byte of a UTF-16 file included.
  auto keepToEnd = [&](std::size_t fromUnit) { out += bytes.substr(text.ByteOffset(fromUnit)); };
  out += bytes.substr(0, bom);

  if (header == lines.size()) {
    if (!key || !value) return std::string(bytes);  // nothing to remove
    // The new section goes after the last whole unit: an odd last byte of
    // a UTF-16 file stays last, and the new lines keep their alignment.
    keep(0, text.size());
    std::wstring add;
    if (!lines.empty() && lines.back().next == lines.back().end) add += eol;
    add += L"[" + std::wstring(wanted) + L"]" + eol + std::wstring(TrimProfileBlanks(*key)) + L"=" + *value + eol;
    out += Encode(add, enc, ansi);
    keepToEnd(text.size());
    return out;
  }

  if (!key) {  // the section from its header to the next one goes
    keep(0, lines[header].start);
    if (sectionEnd != lines.size()) keepToEnd(lines[sectionEnd].start);
    return out;
  }

  std::wstring_view wantedKey = TrimProfileBlanks(*key);
  for (std::size_t i = header + 1; i < sectionEnd; ++i) {
    std::wstring line = decode(lines[i]);
    std::wstring_view trimmed = TrimProfileBlanks(line);
    if (trimmed.empty()) continue;
    std::size_t eq = trimmed.find(L'=');
    std::wstring_view name = UpToNul(eq == std::wstring_view::npos ? trimmed : TrimProfileBlanks(trimmed.substr(0, eq)));
    if (!EqualsNoCase(name, wantedKey)) continue;
    if (!value) {  // the key's line goes, line end included
      keep(0, lines[i].start);
      keepToEnd(lines[i].next);
      return out;
    }
    // The value after "=" (and the blanks right after it) is replaced; the
    // name and everything around it stay.
    std::size_t u = lines[i].start;
    while (u < lines[i].end && text.At(u) != '=') ++u;
    if (u < lines[i].end) {
      ++u;
      while (u < lines[i].end && (text.At(u) == ' ' || text.At(u) == '\t')) ++u;
      keep(0, u);
      out += Encode(*value, enc, ansi);
    } else {
      // A line holding the name alone: trailing blanks go, "=value" comes.
      std::size_t e = lines[i].end;
      while (e > lines[i].start && (text.At(e - 1) == ' ' || text.At(e - 1) == '\t')) --e;
      keep(0, e);
      out += Encode(L"=" + *value, enc, ansi);
    }
    keepToEnd(lines[i].end);
    return out;
  }
  if (!value) return std::string(bytes);

  // A new key goes right after the section's last line that holds text.
  const Line& after = lines[last];
  keep(0, after.next);
  std::wstring add;
  if (after.next == after.end) add += eol;
  add += std::wstring(wantedKey) + L"=" + *value + eol;
  out += Encode(add, enc, ansi);
  keepToEnd(after.next);
  return out;
}

}  // namespace kestrel
