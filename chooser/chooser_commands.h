#pragma once
// What a click in the chooser window does, decided from the control id
// alone, so the rule is the same whatever draws the window.

#include <cstddef>

#include "chooser/version_entry.h"

namespace kestrel {

enum class ChooserCommand {
  kNothing,   ///< the maximize button, the 21st version button on, unknown ids
  kMinimize,  ///< the minimize button
  kCancel,    ///< the close button: the modal run ends with Cancel
  kVersion,   ///< a version button with an entry: run its action
};

struct ChooserAction {
  ChooserCommand command = ChooserCommand::kNothing;
  std::size_t entryIndex = 0;  ///< for kVersion: the entry of the button
  bool operator==(const ChooserAction&) const = default;
};

/// The action of a click on control `id` when the window holds
/// `entryCount` version entries.
ChooserAction ClassifyChooserCommand(int id, std::size_t entryCount);

/// Whether a version button's action ends the modal run with OK: every
/// close mode but KeepOpen does.
bool VersionActionClosesWindow(const VersionEntry& entry);

}  // namespace kestrel
