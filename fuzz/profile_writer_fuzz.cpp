// libFuzzer target: the profile writer on arbitrary files.  The input's
// first three bytes give the lengths of a section name, a key name and a
// value (a value length of 255 removes the key), which follow; the rest is
// the file.  The ANSI code page stands in as Latin-1.  Promises checked:
//   - a write is refused only for a name or value holding a line break or
//     a zero, or a key holding "=" or "[";
//   - every other key of the file (other as a lookup sees names) reads as
//     it did before (when the file's encoding is marked or is UTF-8, so
//     that its reading cannot change);
//   - the bytes that changed lie within one line of the file (8-bit files);
//   - a plain key written reads back as the value written (while the file
//     is read in the same encoding before and after).

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/model/profile_text.h"
#include "platform/model/profile_writer.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace {
using namespace kestrel;
using fuzz::Check;
using fuzz::Latin1;

std::string FromLatin1(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
  return out;
}

bool HasBreak(std::wstring_view s) { return s.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos; }

bool PlainName(std::wstring_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
  });
}

bool PlainValue(std::wstring_view s) {
  if (s.size() > 259 || HasBreak(s)) return false;
  if (!s.empty() && (s.front() <= L' ' || s.back() <= L' ' || s.front() == 0xA0 || s.back() == 0xA0)) return false;
  if (s.size() >= 2 && (s.front() == L'"' || s.front() == L'\'')) return false;
  return std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L' ' && c != 0x7F; });
}

// A lookup trims the name it is given, so a key stored as "y<tab>" (a
// zero after the blank ends the stored name before the trim reaches it) is
// asked for as "y": writing "y" is writing that key.
std::wstring_view LookupName(std::wstring_view s) {
  auto blank = [](wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0x1A || c == 0xA0 ||
           c == 0x3000;
  };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool StableEncoding(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ||
         bytes.substr(0, 3) == "\xEF\xBB\xBF" || IsValidUtf8(bytes);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::size_t lengths[3] = {data[0] % 16u, data[1] % 16u, data[2] == 255 ? 0u : data[2] % 32u};
  in.remove_prefix(3);
  std::wstring parts[3];
  for (int i = 0; i < 3; ++i) {
    std::size_t n = std::min(lengths[i], in.size());
    parts[i] = Latin1(in.substr(0, n));
    in.remove_prefix(n);
  }
  const std::wstring& section = parts[0];
  const std::wstring& key = parts[1];
  std::optional<std::wstring> value;
  if (data[2] != 255) value = parts[2];
  const std::string_view file = in;

  AnsiCodec codec{Latin1, FromLatin1};
  std::optional<std::string> written = ProfileWrite(file, section, key, value, codec);
  if (!written) {
    Check(HasBreak(section) || HasBreak(key) || (value && HasBreak(*value)) ||
          key.find(L'=') != std::wstring::npos || key.find(L'[') != std::wstring::npos);
    return 0;
  }

  ProfileText before(DecodeTextFile(file, Latin1));
  ProfileText after(DecodeTextFile(*written, Latin1));
  if (StableEncoding(file) && StableEncoding(*written)) {
    for (const ProfileSection& s : before.sections()) {
      for (const ProfileKey& k : s.keys) {
        if (EqualsNoCase(LookupName(s.name), LookupName(section)) &&
            EqualsNoCase(LookupName(k.name), LookupName(key)))
          continue;
        Check(before.FindValue(s.name, k.name) == after.FindValue(s.name, k.name));
      }
    }
  }

  const bool wide = file.substr(0, 2) == "\xFF\xFE" || file.substr(0, 2) == "\xFE\xFF";
  if (!wide) {
    std::size_t prefix = 0;
    const std::string& out = *written;
    while (prefix < file.size() && prefix < out.size() && file[prefix] == out[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < file.size() - prefix && suffix < out.size() - prefix &&
           file[file.size() - 1 - suffix] == out[out.size() - 1 - suffix])
      ++suffix;
    std::string_view removed = file.substr(prefix, file.size() - prefix - suffix);
    Check(std::count(removed.begin(), removed.end(), '\n') <= 1 && std::count(removed.begin(), removed.end(), '\r') <= 1);
  }

  // A write can take the last byte that is not UTF-8 out of an ANSI file,
  // which then reads as UTF-8: a known limit of reading files without a
  // byte-order mark, so the value is checked only when the reading stays.
  if (value && PlainName(section) && PlainName(key) && PlainValue(*value) &&
      StableEncoding(file) == StableEncoding(*written))
    Check(ProfileGetString(&after, section, key, L"\x1F", 260) == *value);
  return 0;
}
