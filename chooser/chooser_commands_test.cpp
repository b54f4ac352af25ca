// What a click in the chooser does, by control id.

#include "chooser/chooser_commands.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(ChooserCommands, EachIdHasItsAction) {
  struct Case {
    int id;
    std::size_t entries;
    ChooserAction action;
  };
  const Case cases[] = {
      {4096, 3, {ChooserCommand::kMinimize, 0}},
      {4097, 3, {ChooserCommand::kNothing, 0}},  // maximize does nothing
      {4098, 3, {ChooserCommand::kCancel, 0}},
      {4099, 3, {ChooserCommand::kVersion, 0}},
      {4101, 3, {ChooserCommand::kVersion, 2}},
      {4102, 3, {ChooserCommand::kNothing, 0}},  // no fourth entry
      {4099, 0, {ChooserCommand::kNothing, 0}},
      {4118, 30, {ChooserCommand::kVersion, 19}},  // the twentieth button acts
      {4119, 30, {ChooserCommand::kNothing, 0}},   // the 21st is shown but does nothing
      {4351, 300, {ChooserCommand::kNothing, 0}},
      {1, 3, {ChooserCommand::kNothing, 0}},
      {4095, 3, {ChooserCommand::kNothing, 0}},
  };
  for (const Case& c : cases) {
    const ChooserAction action = ClassifyChooserCommand(c.id, c.entries);
    EXPECT_EQ(action.command, c.action.command) << "id " << c.id << " with " << c.entries << " entries";
    EXPECT_EQ(action.entryIndex, c.action.entryIndex) << "id " << c.id;
  }
}

TEST(ChooserCommands, OnlyKeepOpenLeavesTheWindowUp) {
  VersionEntry entry;
  for (auto [mode, closes] : {std::pair{kCloseAfterRun, true}, std::pair{kKeepOpen, false}}) {
    entry.closeMode = mode;
    EXPECT_EQ(VersionActionClosesWindow(entry), closes) << "close mode " << mode;
  }
  // A close mode that no configuration gives is treated as the default.
  entry.closeMode = 0;
  EXPECT_TRUE(VersionActionClosesWindow(entry));
}

}  // namespace
}  // namespace kestrel
