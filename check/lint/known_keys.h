#pragma once
// The Config.ini keys the launcher reads, section by section, with how it
// reads each (text into 260 characters, or a number).  A test runs the
// launcher over a Config.ini that sets every key and holds this table to
// the reads it makes, both ways, so the table cannot drift from the
// actions.

#include <span>
#include <string>
#include <string_view>

namespace kestrel::check {

enum class KeyKind { kText, kNumber };

/// A key as the launcher asks for it; "%d" stands for a button number.
struct KnownKey {
  const wchar_t* name;
  KeyKind kind;
};

/// A section the launcher reads key by key; "%d" for the numbered
/// prerequisite sections.  (The "platform_Game%d" sections are read whole
/// and may hold any key, so they are not here.)
struct KnownSection {
  const wchar_t* name;
  std::span<const KnownKey> keys;
};

std::span<const KnownSection> KnownSections();

/// The known section `name` stands for, or null.
const KnownSection* FindKnownSection(std::wstring_view name);
/// The known key `key` stands for in `section`, or null.
const KnownKey* FindKnownKey(const KnownSection& section, std::wstring_view key);
/// True when `name` is `pattern` with its "%d" (if any) written as a
/// decimal number, compared without regard to case.
bool MatchesPattern(std::wstring_view pattern, std::wstring_view name);

}  // namespace kestrel::check
