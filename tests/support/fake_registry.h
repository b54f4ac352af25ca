#pragma once
// Setting up registry values on the fake machine before a test runs.

#include <cstdint>
#include <string>

#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel::testing {

/// Stores a REG_SZ value (with its terminator) and forgets the call, so the
/// record holds only what the code under test did.
inline void PutRegString(FakePlatform& fake, RegRoot root, const std::wstring& key, const std::wstring& name,
                         const std::wstring& text) {
  std::string data = WideToUtf16Le(text);
  data.append(2, '\0');
  fake.SHSetValueW(root, key, name, 1, std::span<const std::uint8_t>(
                                           reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  fake.ClearRecord();
}

/// The bytes of a stored value as text ("01 00 00 00"), or "(none)".
inline std::wstring RegBytes(const FakePlatform& fake, RegRoot root, const std::wstring& key,
                             const std::wstring& name) {
  const FakePlatform::RegValue* value = fake.FindRegValue(root, key, name);
  if (!value) return L"(none)";
  std::wstring out;
  const wchar_t* hex = L"0123456789abcdef";
  for (std::size_t i = 0; i < value->data.size(); ++i) {
    if (i) out += L' ';
    out += hex[value->data[i] >> 4];
    out += hex[value->data[i] & 15];
  }
  return out;
}

}  // namespace kestrel::testing
