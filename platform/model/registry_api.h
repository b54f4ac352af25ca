#pragma once
// What the registry functions of Windows show of a hive: the roots' names,
// and a stored value as SHGetValueW copies it out.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/model/registry_tree.h"
#include "platform/platform.h"

namespace kestrel {

/// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
std::wstring RegRootName(RegRoot root);

/// SHGetValueW's answer for a stored value: its type into `*type`, its
/// bytes into `data`, their count into `*dataSize`; 0 (ERROR_SUCCESS), or
/// 234 (ERROR_MORE_DATA) with nothing copied and `*dataSize` the bytes
/// needed when `data` is too small.  An empty `data` asks for the size
/// alone (the shell's null buffer) and succeeds.  A REG_EXPAND_SZ comes
/// back as REG_SZ: its text up to the first zero, passed through `expand`,
/// ended by a zero; its size is the larger of the stored and the expanded
/// form, as the shell reports it.
long CopyRegistryValue(const RegistryValue& value, const std::function<std::wstring(std::wstring_view)>& expand,
                       std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize);

}  // namespace kestrel
