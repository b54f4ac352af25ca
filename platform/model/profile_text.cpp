#include "platform/model/profile_text.h"

#include <algorithm>

#include "platform/model/text_blanks.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel {

std::wstring_view UpToNul(std::wstring_view text) { return text.substr(0, text.find(L'\0')); }

namespace {

std::uint64_t FoldedHash(std::wstring_view name) {
  std::uint64_t h = 1469598103934665603ull;
  for (wchar_t c : name) h = (h ^ static_cast<std::uint64_t>(FoldCase(c))) * 1099511628211ull;
  return h;
}

}  // namespace

ProfileText::ProfileText() : ProfileText(std::wstring()) {}

ProfileText::ProfileText(std::wstring owned) : text_(std::make_unique<std::wstring>(std::move(owned))) {
  std::wstring_view text = *text_;
  // Keys are gathered first and each section remembers where its keys
  // start; the spans are set once the key list no longer moves.
  std::vector<std::size_t> firstKey{0};
  sections_.push_back(ProfileSection{});  // keys before the first section
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != L'\r' && text[end] != L'\n') ++end;
    std::wstring_view line = TrimProfileBlanks(text.substr(pos, end - pos));
    pos = end;
    while (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n')) ++pos;
    if (line.empty()) continue;
    if (line.front() == L'[') {
      std::size_t close = line.rfind(L']');
      if (close != std::wstring_view::npos) {
        sections_.push_back(ProfileSection{UpToNul(TrimProfileBlanks(line.substr(1, close - 1))), {}});
        firstKey.push_back(keys_.size());
        continue;
      }
    }
    ProfileKey key;
    std::size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos) {
      key.name = UpToNul(line);
    } else {
      key.name = UpToNul(TrimProfileBlanks(line.substr(0, eq)));
      key.value = UpToNul(TrimProfileBlanks(line.substr(eq + 1)));
    }
    keys_.push_back(key);
  }
  firstKey.push_back(keys_.size());
  index_.reserve(sections_.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    sections_[i].keys = std::span<const ProfileKey>(keys_.data() + firstKey[i], firstKey[i + 1] - firstKey[i]);
    // The keys before any section are only a section when there are some.
    if (i > 0 || !sections_[i].keys.empty())
      index_.emplace_back(FoldedHash(sections_[i].name), static_cast<std::uint32_t>(i));
  }
  std::sort(index_.begin(), index_.end());
}

const ProfileSection* ProfileText::FindSection(std::wstring_view section) const {
  section = TrimProfileBlanks(section);
  auto it = std::lower_bound(index_.begin(), index_.end(), std::make_pair(FoldedHash(section), std::uint32_t{0}));
  for (; it != index_.end() && it->first == FoldedHash(section); ++it)
    if (EqualsNoCase(sections_[it->second].name, section)) return &sections_[it->second];
  return nullptr;
}

std::optional<std::wstring> ProfileText::FindValue(std::wstring_view section, std::wstring_view key) const {
  const ProfileSection* s = FindSection(section);
  if (!s) return std::nullopt;
  key = TrimProfileBlanks(key);
  for (const ProfileKey& k : s->keys)
    if (EqualsNoCase(k.name, key)) return k.value ? std::optional<std::wstring>(std::wstring(*k.value)) : std::nullopt;
  return std::nullopt;
}

std::wstring DecodeTextFile(std::string_view bytes, const std::function<std::wstring(std::string_view)>& ansi) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xFF\xFE")) return Utf16LeToWide(bytes.substr(2));
  if (starts("\xFE\xFF")) {
    std::string swapped(bytes.substr(2));
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return Utf16LeToWide(swapped);
  }
  if (starts("\xEF\xBB\xBF")) return Utf8ToWide(bytes.substr(3));
  if (IsValidUtf8(bytes)) return Utf8ToWide(bytes);
  return ansi(bytes);
}

std::wstring CopyProfileValue(std::wstring_view value, std::uint32_t bufferChars) {
  if (bufferChars == 0) return std::wstring();
  bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                value.back() == value.front();
  if (!quoted) return std::wstring(value.substr(0, bufferChars - 1));
  // The closing quote is dropped as the last character of what was copied
  // whenever the buffer is at least as long as the text after the opening
  // quote, so a value cut by exactly one loses one character more: the
  // profile reader's own rule, kept so both builds read alike.
  value.remove_prefix(1);
  std::wstring copied(value.substr(0, bufferChars - 1));
  if (bufferChars >= value.size() && !copied.empty()) copied.pop_back();
  return copied;
}

std::wstring ProfileGetString(const ProfileText* text, std::wstring_view section, std::wstring_view key,
                              std::wstring_view defaultValue, std::uint32_t bufferChars) {
  std::optional<std::wstring> value = text ? text->FindValue(section, key) : std::nullopt;
  if (value) return CopyProfileValue(*value, bufferChars);
  while (!defaultValue.empty() && defaultValue.back() == L' ') defaultValue.remove_suffix(1);
  return CopyProfileValue(defaultValue, bufferChars);
}

int ProfileGetInt(const ProfileText* text, std::wstring_view section, std::wstring_view key, int defaultValue) {
  std::wstring value = ProfileGetString(text, section, key, L"", 30);
  if (value.empty()) return defaultValue;
  std::size_t i = 0;
  while (i < value.size() && value[i] <= L' ') ++i;
  bool minus = false;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) minus = value[i++] == L'-';
  unsigned base = 10;
  if (i + 1 < value.size() && value[i] == L'0') {
    if (value[i + 1] == L'x') base = 16;
    else if (value[i + 1] == L'o') base = 8;
    else if (value[i + 1] == L'b') base = 2;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;  // wraps like the 32-bit unsigned it stands for
  for (; i < value.size(); ++i) {
    wchar_t c = value[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'A' && c <= L'Z') digit = c - L'A' + 10;
    else if (c >= L'a' && c <= L'z') digit = c - L'a' + 10;
    else break;
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (minus) total = 0u - total;
  return static_cast<int>(total);
}

std::uint32_t ProfileGetSection(const ProfileText* text, std::wstring_view section, std::uint32_t bufferChars,
                                std::wstring& buffer) {
  buffer.clear();
  if (bufferChars < 2) {
    if (bufferChars == 1) buffer.assign(1, L'\0');
    return 0;
  }
  const ProfileSection* found = text ? text->FindSection(section) : nullptr;
  if (!found) {
    buffer.assign(2, L'\0');
    return 0;
  }
  // Each copy keeps room for the closing zeros; what does not fit is cut.
  std::wstring out;
  std::uint32_t left = bufferChars;
  auto copy = [&](const std::wstring& s) {
    std::size_t n = std::min<std::size_t>(s.size(), left - 2);
    out.append(s, 0, n);
    out += L'\0';
    left -= static_cast<std::uint32_t>(n + 1);
  };
  for (const ProfileKey& key : found->keys) {
    if (left <= 2) break;
    if (!key.name.empty() && key.name[0] == L';') continue;
    copy(std::wstring(key.name));
    if (left < 2) break;
    if (key.value) {
      out.back() = L'=';
      copy(std::wstring(*key.value));
    }
  }
  out += L'\0';
  if (left <= 1) {
    // The last line was cut: it ends in two zeros at the buffer's end.
    out.resize(bufferChars);
    out[bufferChars - 2] = L'\0';
    out[bufferChars - 1] = L'\0';
    std::size_t end = out.find(std::wstring(2, L'\0'));
    buffer = out.substr(0, end + 2);
    return bufferChars - 2;
  }
  buffer = out;
  if (buffer.size() < 2 || buffer[buffer.size() - 2] != L'\0') buffer += L'\0';
  return bufferChars - left;
}

}  // namespace kestrel
