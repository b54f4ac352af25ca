// Where the chooser puts its buttons and frame pieces.

#include "chooser/chooser_layout.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(ChooserLayout, SystemButtonsEndAtTheRightEdge) {
  const auto buttons = SystemButtonPlacements(400);
  EXPECT_EQ(buttons[0], (Placement{296, 0, 31, 23}));
  EXPECT_EQ(buttons[1], (Placement{327, 0, 31, 23}));
  EXPECT_EQ(buttons[2], (Placement{358, 0, 42, 23}));
  EXPECT_EQ(buttons[2].x + buttons[2].width, 400);
}

TEST(ChooserLayout, TheVersionColumnIsCentredWithAGapAfterEveryButton) {
  struct Case {
    const char* name;
    Size background, image;
    std::size_t count;
    int x, firstY, width, height;
  };
  const Case cases[] = {
      {"three buttons", {400, 300}, {200, 120}, 3, 100, 75, 200, 40},
      // The gap after the only button counts: five pixels above true centring.
      {"one button", {400, 300}, {200, 120}, 1, 100, 125, 200, 40},
      {"a column taller than the window overflows both edges", {400, 300}, {200, 120}, 10, 100, -100, 200, 40},
      // Each half is divided on its own: 401 / 2 - 201 / 2 = 200 - 100.
      {"odd widths", {401, 300}, {201, 100}, 2, 100, 107, 201, 33},
  };
  for (const Case& c : cases) {
    const auto column = VersionButtonPlacements(c.background, c.image, c.count);
    ASSERT_EQ(column.size(), c.count) << c.name;
    for (std::size_t i = 0; i < column.size(); ++i) {
      const int y = c.firstY + static_cast<int>(i) * (c.height + 10);
      EXPECT_EQ(column[i], (Placement{c.x, y, c.width, c.height})) << c.name << ", button " << i;
    }
  }
  EXPECT_TRUE(VersionButtonPlacements({400, 300}, {200, 120}, 0).empty());
}

TEST(ChooserLayout, FramePiecesOnTheRightAndBottomAreOnePixelShort) {
  const std::array<Size, 8> pieces = {{{10, 11}, {5, 12}, {13, 14}, {15, 6}, {16, 7}, {17, 18}, {8, 19}, {20, 21}}};
  const auto frame = FramePiecePlacements({400, 300}, pieces);
  const std::array<Placement, 8> expected = {{
      {0, 0, 10, 11},             // top-left
      {10, 0, 400 - 13 - 10, 12},  // top edge
      {387, 0, 12, 14},           // top-right
      {0, 11, 15, 300 - 18 - 11},  // left edge
      {384, 14, 15, 300 - 21 - 14},  // right edge
      {0, 282, 17, 17},           // bottom-left
      {17, 281, 400 - 20 - 17, 18},  // bottom edge
      {380, 279, 19, 20},         // bottom-right
  }};
  for (std::size_t k = 0; k < frame.size(); ++k) EXPECT_EQ(frame[k], expected[k]) << "piece " << k;
}

TEST(ChooserLayout, AbsentFramePiecesCountAsNothing) {
  std::array<Size, 8> pieces{};
  pieces[1] = {5, 12};
  pieces[6] = {8, 19};
  const auto frame = FramePiecePlacements({400, 300}, pieces);
  // The two present edges stretch from corner to corner of the window.
  const std::array<Placement, 8> expected = {{
      {0, 0, 0, 0},
      {0, 0, 400, 12},
      {400, 0, 0, 0},
      {0, 0, 0, 300},
      {400, 0, 0, 300},
      {0, 300, 0, 0},
      {0, 281, 400, 18},
      {400, 300, 0, 0},
  }};
  for (std::size_t k = 0; k < frame.size(); ++k) EXPECT_EQ(frame[k], expected[k]) << "piece " << k;
}

TEST(ChooserLayout, TheMinimizedIconIsCentred) {
  EXPECT_EQ(MinimizedIconPlacement({160, 28}, {32, 32}), (Placement{64, -1, 32, 32}));
  EXPECT_EQ(MinimizedIconPlacement({33, 33}, {32, 32}), (Placement{1, 1, 32, 32}));
}

}  // namespace
}  // namespace kestrel
