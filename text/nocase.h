#pragma once
// Windows compares names of files, sections, keys and commands without
// regard to case.  One folding rule for the whole launcher keeps the two
// builds alike: ASCII and the Latin/Greek/Cyrillic letters that towupper
// knows in every locale fold; nothing else changes.

#include <string>
#include <string_view>

namespace kestrel {

wchar_t FoldCase(wchar_t c);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring ToUpperNoCase(std::wstring_view text);

}  // namespace kestrel
