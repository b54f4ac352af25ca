#pragma once

#include <string_view>

namespace kestrel {

/// _wtoi: leading blanks, a sign, then decimal digits; 0 without any.
/// Saturates at INT_MIN and INT_MAX.
int LeadingNumber(std::wstring_view text);

}  // namespace kestrel
