// A Config.ini in an encoding other than the launcher reads it in.
// Windows' profile reader takes a file that begins with the UTF-16LE
// byte-order mark as UTF-16 and every other file as text in the ANSI code
// page: it knows neither UTF-8 (with or without a byte-order mark) nor
// UTF-16BE.  The Linux build (and Wine) also read UTF-8, so a UTF-8 file
// reads differently on the two builds.

#include <algorithm>

#include "check/lint/lint_rules.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// True for a line no action reads: a note starting with ";" or "#".
bool IsNote(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && (line[first] == ';' || line[first] == '#');
}

/// The first line (1-based) that is no note and holds a byte above 0x7F,
/// with its bytes; 0 when there is none.
std::pair<int, std::string_view> FirstNonAsciiLine(std::string_view bytes) {
  int line = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r') {
      std::string_view text = bytes.substr(start, i - start);
      if (!IsAscii(text) && !IsNote(line == 1 && text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text))
        return {line, text};
      if (i < bytes.size() && bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      ++line;
      start = i + 1;
    }
  }
  return {0, {}};
}

/// What Windows reads in `line` (UTF-8 bytes taken in the ANSI code page),
/// shortened for a message.
std::string AsWindowsReadsIt(Platform& os, std::string_view line) {
  std::wstring text = os.AnsiToWide(line.substr(0, 60));
  return U8(text);
}

}  // namespace

void CheckConfigEncoding(const LintInput& in) {
  std::string_view bytes = in.config.bytes();
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xFF\xFE")) return;
  if (starts("\xFE\xFF")) {
    in.Add(Severity::kError, "config-encoding", 1,
           "Config.ini is UTF-16 big-endian: Windows reads it as ANSI text and finds none of its sections (save it "
           "as UTF-16LE, \"Unicode\")");
    return;
  }
  if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
    in.Add(Severity::kError, "config-encoding", 1,
           "Config.ini looks like UTF-16 without a byte-order mark: the launcher reads it as ANSI text and finds "
           "none of its sections");
    return;
  }
  const bool bom = starts("\xEF\xBB\xBF");
  const std::string_view body = bom ? bytes.substr(3) : bytes;
  if (!bom && (IsAscii(body) || !IsValidUtf8(body))) return;  // ANSI text, read alike everywhere
  if (bom) {
    const std::size_t firstLineEnd = body.find_first_of("\r\n");
    const std::string_view firstLine = body.substr(0, firstLineEnd);
    const std::size_t notBlank = firstLine.find_first_not_of(" \t");
    if (notBlank != std::string_view::npos && firstLine[notBlank] == '[') {
      const std::size_t close = firstLine.rfind(']');
      const std::string name(firstLine.substr(notBlank, close == std::string_view::npos ? 60 : close - notBlank + 1));
      in.Add(Severity::kError, "config-encoding", 1,
             "Config.ini begins with a UTF-8 byte-order mark, which Windows reads as text: the first section, " + name +
                 ", is not found there and none of its keys is read (the Linux build reads it); save it without the "
                 "mark, or as UTF-16LE");
    } else if (IsAscii(body)) {
      in.Add(Severity::kWarning, "config-encoding", 1,
             "Config.ini begins with a UTF-8 byte-order mark, which Windows reads as text; harmless while the first "
             "line is no section header");
    }
  }
  if (IsAscii(body)) return;
  auto [line, text] = FirstNonAsciiLine(bytes);
  if (line == 0) return;  // only notes hold other characters, and no action reads them
  if (bom && line == 1) text = text.substr(3);
  in.Add(Severity::kError, "config-encoding", line,
         "Config.ini is UTF-8, but Windows reads it in the ANSI code page: this line reads there as \"" +
             AsWindowsReadsIt(in.os, text) + "\" (the Linux build reads UTF-8); save it as UTF-16LE");
}

}  // namespace kestrel::check
