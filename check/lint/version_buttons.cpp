// More version buttons than act: the chooser shows a button for every
// entry up to "btnCount", but only the first 20 do anything when clicked,
// and it makes no more than its command range holds.

#include <algorithm>

#include "check/lint/lint_rules.h"
#include "chooser/chooser_config.h"
#include "chooser/chooser_ids.h"

namespace kestrel::check {

void CheckVersionButtons(const LintInput& in) {
  const int count = in.config.Int(L"dlg_config", L"btnCount");
  if (count <= kActingVersionButtons) return;
  const int shown = std::min(count, kMostVersionEntries);
  std::string message = "btnCount is " + std::to_string(count) + ": only buttons 1 to " +
                        std::to_string(kActingVersionButtons) + " act when clicked; buttons " +
                        std::to_string(kActingVersionButtons + 1) + " to " + std::to_string(shown) +
                        " are shown but do nothing";
  if (count > kMostVersionEntries)
    message += ", and no more than " + std::to_string(kMostVersionEntries) + " buttons are made";
  in.Add(Severity::kError, "too-many-buttons", in.config.KeyLine(L"dlg_config", L"btnCount"), message);
}

}  // namespace kestrel::check
