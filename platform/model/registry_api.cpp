#include "platform/model/registry_api.h"

#include <algorithm>

#include "text/utf.h"

namespace kestrel {

std::wstring RegRootName(RegRoot root) {
  return root == RegRoot::kLocalMachine ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

namespace {

long CopyBytes(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> data) {
  if (data.empty()) return win::kSuccess;
  if (bytes.size() > data.size()) return win::kMoreData;
  std::copy(bytes.begin(), bytes.end(), data.begin());
  return win::kSuccess;
}

}  // namespace

long CopyRegistryValue(const RegistryValue& value, const std::function<std::wstring(std::wstring_view)>& expand,
                       std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  if (value.type != win::kRegExpandSz) {
    if (type) *type = value.type;
    if (dataSize) *dataSize = static_cast<std::uint32_t>(value.data.size());
    return CopyBytes(value.data, data);
  }
  std::wstring text = Utf16LeToWide({reinterpret_cast<const char*>(value.data.data()), value.data.size()});
  text.resize(std::min(text.size(), text.find(L'\0')));
  std::string expanded = WideToUtf16Le(expand(text));
  expanded.append(2, '\0');
  if (type) *type = win::kRegSz;
  if (dataSize) *dataSize = static_cast<std::uint32_t>(std::max(value.data.size(), expanded.size()));
  return CopyBytes(std::span(reinterpret_cast<const std::uint8_t*>(expanded.data()), expanded.size()), data);
}

}  // namespace kestrel
