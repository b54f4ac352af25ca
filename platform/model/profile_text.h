#pragma once
// The text of a profile (.ini) file read the way Windows reads it, shared
// by every platform that has no GetPrivateProfileStringW of its own:
//
//   - a line is cut at CR or LF and trimmed of blanks at both ends;
//   - "[name]" starts a section: the name is what lies between the "[" and
//     the last "]" of the line, trimmed; a "[" line without "]" is an
//     ordinary line;
//   - "key=value" is a key: the key is trimmed, the value starts after the
//     first "=" and is trimmed; a line without "=" is a key without value;
//   - there are no comments: ";x=1" is a key named ";x";
//   - lines before the first section belong to a section with no name;
//   - a name or value ends at a zero character, as a C string does (the
//     line itself goes on to its line end);
//   - lookups fold case, search only the first section of a name, and take
//     the first key of a name in it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

/// Views into the text of the ProfileText that holds them.
struct ProfileKey {
  std::wstring_view name;
  std::optional<std::wstring_view> value;  ///< none for a line without "="
};

struct ProfileSection {
  std::wstring_view name;
  std::span<const ProfileKey> keys;
};

/// The parsed text keeps the decoded file once and points into it: no
/// allocation per line, and sections are found through a hash of their
/// folded names, so a launch reading a hundred keys costs microseconds and
/// a file of 50 MB parses in bounded time.
class ProfileText {
 public:
  ProfileText();
  explicit ProfileText(std::wstring text);
  ProfileText(ProfileText&&) = default;
  ProfileText& operator=(ProfileText&&) = default;

  const std::vector<ProfileSection>& sections() const { return sections_; }
  /// The decoded text that every name and value views into, so a caller
  /// can tell where in the file a name stands.
  std::wstring_view text() const { return *text_; }

  /// The first section whose name equals `section` (blanks around the
  /// asked-for name ignored, case folded), or null.
  const ProfileSection* FindSection(std::wstring_view section) const;
  /// The value of `key` in that section; none when the section or key is
  /// missing or the key has no "=".
  std::optional<std::wstring> FindValue(std::wstring_view section, std::wstring_view key) const;

 private:
  std::unique_ptr<std::wstring> text_;  // on the heap, so moves keep the views valid
  std::vector<ProfileKey> keys_;
  std::vector<ProfileSection> sections_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> index_;  // (hash of folded name, section), sorted
};

/// The text before its first zero character (all of it when it has none):
/// what a name or value read from a file is to a caller that sees C strings.
std::wstring_view UpToNul(std::wstring_view text);

/// Decodes the bytes of a text file: UTF-16LE or UTF-16BE with a byte-order
/// mark, UTF-8 with or without one, anything else through `ansi` (the ANSI
/// code page).
std::wstring DecodeTextFile(std::string_view bytes, const std::function<std::wstring(std::string_view)>& ansi);

/// GetPrivateProfileStringW's copy of a found value or of the default into
/// a buffer of `bufferChars` characters: one pair of matching surrounding
/// quotes (' or ") is removed, and the text is cut to bufferChars - 1.
std::wstring CopyProfileValue(std::wstring_view value, std::uint32_t bufferChars);

/// GetPrivateProfileStringW on parsed text (the file may be missing:
/// `text` null).
std::wstring ProfileGetString(const ProfileText* text, std::wstring_view section, std::wstring_view key,
                              std::wstring_view defaultValue, std::uint32_t bufferChars);

/// GetPrivateProfileIntW on parsed text: the default when the value is
/// missing or empty; otherwise leading blanks, a sign and a "0x", "0o" or
/// "0b" prefix are read and the digits up to the first other character
/// make the number ("42abc" is 42, " -7" is -7, "abc" is 0).
int ProfileGetInt(const ProfileText* text, std::wstring_view section, std::wstring_view key, int defaultValue);

/// GetPrivateProfileSectionW on parsed text into a buffer of `bufferChars`
/// characters, filled the way Wine fills it: "name=value" lines (value as
/// written, quotes kept; a line without "=" gives its name alone; lines
/// whose name starts with ";" are left out), each ended by a zero.  When
/// they do not all fit, the last one is cut and the result is
/// bufferChars - 2.  `buffer` receives the lines and the closing zero.
std::uint32_t ProfileGetSection(const ProfileText* text, std::wstring_view section, std::uint32_t bufferChars,
                                std::wstring& buffer);

}  // namespace kestrel
