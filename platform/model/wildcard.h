#pragma once
// The wildcard rules of FindFirstFileW, shared by the machine model and the
// fake: "*" stands for any run of characters, "?" for exactly one, letters
// match without regard to case, "*.*" matches every name (also one without
// a dot), and a pattern ending in ".*" also matches the name without that
// extension ("readme.*" finds "readme"), and one ending in "." finds names
// without an extension.  Names are matched by their long names only: the
// 8.3 short-name quirk that lets "*.reg" find "a.regx" is not copied, so a
// ".regbak" file is never taken for a registry file.

#include <string_view>

namespace kestrel {

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

}  // namespace kestrel
