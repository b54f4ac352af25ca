#pragma once
// Game ids: the game menu records where it installed each game under
// HKEY_LOCAL_MACHINE; several actions turn a five-character id into that
// directory.

#include <string>

#include "platform/platform.h"

namespace kestrel {

inline constexpr wchar_t kGameInfoKey[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\GInfo";
inline constexpr wchar_t kDriveInfoKey[] = L"SOFTWARE\\{3798BE84-4E13-4b81-B8CF-5063730FF905}\\VDInfo";

/// The directory of game `id`, ending in a backslash: field 1 of its
/// game-info record for kind 2 (its drive letter translated through
/// VDInfo), field 2 for kinds 1 and 3, empty for any other kind.  False,
/// leaving `out` as it was, when the id has no record.  A record is read
/// into 260 characters and one that does not fit is no record, so the
/// directory with its backslash always fits.
bool ResolveGameDirectory(Platform& os, const std::wstring& id, std::wstring& out);

}  // namespace kestrel
