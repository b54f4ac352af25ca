#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

/// Splits a "|"-separated configuration list.  Empty text gives false and
/// leaves `items` untouched.  Items are not trimmed and may be empty
/// ("a||b" is a, "", b; "a|" is a, ""), except that a leading "|" adds
/// nothing ("|a" is a).
bool SplitList(std::vector<std::wstring>& items, std::wstring_view text);

/// Field `index` (from 0) of a "|"-separated text: "a||b" has fields a, ""
/// and b.  None past the last field.
std::optional<std::wstring> ListField(std::wstring_view text, std::size_t index);

}  // namespace kestrel
