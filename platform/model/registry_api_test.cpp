#include "platform/model/registry_api.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kestrel {
namespace {

std::vector<std::uint8_t> Sz(const std::wstring& text) {
  std::string b = WideToUtf16Le(text);
  b.append(2, '\0');
  return std::vector<std::uint8_t>(b.begin(), b.end());
}

TEST(RegistryApi, ValuesAreCopiedOutAsTheShellCopiesThem) {
  auto expand = [](std::wstring_view text) {
    std::wstring out(text);
    if (auto at = out.find(L"%LONG%"); at != std::wstring::npos) out.replace(at, 6, L"C:\\a much longer folder");
    if (auto at = out.find(L"%S%"); at != std::wstring::npos) out.replace(at, 3, L"C:");
    return out;
  };
  const std::vector<std::uint8_t> dword = {1, 0, 0, 0};
  struct Case {
    const char* what;
    std::uint32_t storedType;
    std::vector<std::uint8_t> stored;
    std::size_t buffer;
    long result;
    std::uint32_t type;
    std::uint32_t size;
    std::vector<std::uint8_t> copied;  // the buffer's first bytes after the call
  } cases[] = {
      {"a value that fits", win::kRegDword, dword, 8, win::kSuccess, win::kRegDword, 4, dword},
      {"too small a buffer", win::kRegDword, dword, 3, win::kMoreData, win::kRegDword, 4, {0, 0, 0}},
      {"an empty buffer asks for the size", win::kRegDword, dword, 0, win::kSuccess, win::kRegDword, 4, {}},
      {"expanded to a longer text", win::kRegExpandSz, Sz(L"%LONG%\\x"), 200, win::kSuccess, win::kRegSz, 52,
       Sz(L"C:\\a much longer folder\\x")},
      {"expanded to a shorter text: the stored size", win::kRegExpandSz, Sz(L"%S%\\abc"), 200, win::kSuccess,
       win::kRegSz, 16, Sz(L"C:\\abc")},
      {"the text ends at its first zero", win::kRegExpandSz, Sz(std::wstring(L"%S%\0junk", 8)), 200, win::kSuccess,
       win::kRegSz, 18, Sz(L"C:")},
      {"too small for the expanded text", win::kRegExpandSz, Sz(L"%LONG%"), 16, win::kMoreData, win::kRegSz, 48,
       std::vector<std::uint8_t>(16, 0)},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> buffer(c.buffer, 0);
    std::uint32_t type = 0, size = 0;
    const RegistryValue value{c.storedType, c.stored};
    EXPECT_EQ(CopyRegistryValue(value, expand, &type, buffer, &size), c.result) << c.what;
    EXPECT_EQ(type, c.type) << c.what;
    EXPECT_EQ(size, c.size) << c.what;
    buffer.resize(std::min(buffer.size(), c.copied.size()));
    EXPECT_EQ(buffer, c.copied) << c.what;
  }
}

}  // namespace
}  // namespace kestrel
