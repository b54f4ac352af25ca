#pragma once
// Where a 32-bit program finds HKEY_LOCAL_MACHINE keys in a 64-bit Wine
// prefix (and on 64-bit Windows):
//
//   Software                 -> Software\Wow6432Node
//   Software\Foo             -> Software\Wow6432Node\Foo
//   Software\Classes\CLSID   -> Software\Classes\Wow6432Node\CLSID  (when that is there)
//   Software\Classes\.txt    -> Software\Classes\.txt               (shared otherwise)
//   Software\Wow6432Node\... -> itself
//   System\...               -> itself
//
// HKEY_CURRENT_USER is the same for both (Wine does not redirect it).

#include <functional>
#include <string>
#include <string_view>

#include "platform/model/registry_tree.h"

namespace kestrel {

/// The path in a 64-bit machine hive that a 32-bit program's `path` leads
/// to; `exists` says whether the hive has a key.
std::wstring Wow64MachinePath(std::wstring_view path, const std::function<bool(std::wstring_view)>& exists);

}  // namespace kestrel
