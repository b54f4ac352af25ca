#pragma once
// ExpandEnvironmentStringsW's rule over a table of variables that the
// caller keeps.

#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

/// The value of a variable by its name, or null when there is none.
using EnvironmentLookup = std::function<const std::wstring*(std::wstring_view name)>;

/// `text` with each "%NAME%" that `lookup` knows replaced by its value.  An
/// unknown name stays as written: its first "%" is kept and its second may
/// open the next name ("%NONE%SystemRoot%" keeps "%NONE" and expands the
/// rest); a "%" without a second stays too.
std::wstring ExpandEnvironmentVariables(std::wstring_view text, const EnvironmentLookup& lookup);

}  // namespace kestrel
