#include "core/leading_number.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "text/utf.h"

namespace kestrel {
namespace {

TEST(LeadingNumber, LikeWtoi) {
  const std::pair<std::wstring, int> cases[] = {
      {L"2", 2}, {L"  +3x", 3}, {L"-1", -1}, {L"", 0}, {L"x2", 0}, {L"99999999999", 2147483647},
      {L"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(LeadingNumber(text), value) << WideToUtf8(text);
}

}  // namespace
}  // namespace kestrel
