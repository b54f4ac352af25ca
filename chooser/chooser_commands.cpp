#include "chooser/chooser_commands.h"

#include "chooser/chooser_ids.h"

namespace kestrel {

ChooserAction ClassifyChooserCommand(int id, std::size_t entryCount) {
  switch (id) {
    case kMinimizeButtonId: return {ChooserCommand::kMinimize, 0};
    case kMaximizeButtonId: return {ChooserCommand::kNothing, 0};
    case kCloseButtonId: return {ChooserCommand::kCancel, 0};
    default: break;
  }
  if (id < kFirstVersionButtonId || id > kLastActingVersionButtonId) return {};
  const auto index = static_cast<std::size_t>(id - kFirstVersionButtonId);
  if (index >= entryCount) return {};
  return {ChooserCommand::kVersion, index};
}

bool VersionActionClosesWindow(const VersionEntry& entry) { return entry.closeMode != kKeepOpen; }

}  // namespace kestrel
