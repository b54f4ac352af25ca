#pragma once
// Why the launcher misses a skin image, in words for skin makers: shared by
// KestrelSkin and KestrelCheck, so both say the same.

#include <optional>
#include <string>
#include <string_view>

#include "skin/zip_reader.h"

namespace kestrel {

class Platform;

/// Why a stored entry that looks like `wanted` is not found under it (its
/// name stored in UTF-8, in another letter case, or with "\" for "/"), or
/// nothing when it does not look like it.  In UTF-8.
std::optional<std::string> SkinNameNearMiss(Platform& os, const ZipListedItem& item, const std::wstring& wanted);

/// Why image bytes that begin with `head` give no image: what the
/// launcher's decoding refuses them for.
std::string WhyUndecodable(std::string_view head);

}  // namespace kestrel
