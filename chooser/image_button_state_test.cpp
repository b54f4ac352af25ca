// The image button's states: which slice each mouse event leaves it showing
// and what it asks of the window.

#include "chooser/image_button_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel {
namespace {

enum class Event { kMove, kLeave, kDown, kUp };

struct Step {
  Event event;
  std::int32_t stateAfter;
  ButtonReaction reaction;
};

struct Sequence {
  const char* name;
  bool hasImage;
  std::vector<Step> steps;
};

constexpr ButtonReaction kTrackAndRepaint{true, true};
constexpr ButtonReaction kRepaint{false, true};
constexpr ButtonReaction kNothing{false, false};

TEST(ImageButtonState, MouseEventsMoveBetweenTheThreeSlices) {
  const std::vector<Sequence> sequences = {
      {"hover once, then leave",
       true,
       {{Event::kMove, kMouseHover, kTrackAndRepaint},
        {Event::kMove, kMouseHover, kNothing},
        {Event::kLeave, kMouseNormal, kRepaint}}},
      {"press, move a little, release",
       true,
       {{Event::kMove, kMouseHover, kTrackAndRepaint},
        {Event::kDown, kMousePressed, kRepaint},
        {Event::kMove, kMouseHover, kTrackAndRepaint},
        {Event::kUp, kMouseNormal, kRepaint},
        {Event::kMove, kMouseHover, kTrackAndRepaint}}},
      {"a click shows the normal slice until the pointer moves",
       true,
       {{Event::kDown, kMousePressed, kRepaint}, {Event::kUp, kMouseNormal, kRepaint}}},
      {"without an image presses change nothing",
       false,
       {{Event::kDown, kMouseNormal, kNothing},
        {Event::kUp, kMouseNormal, kNothing},
        {Event::kMove, kMouseHover, kTrackAndRepaint},
        {Event::kDown, kMouseHover, kNothing},
        {Event::kLeave, kMouseNormal, kRepaint}}},
  };
  for (const Sequence& sequence : sequences) {
    ImageButtonState state;
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
      const Step& step = sequence.steps[i];
      ButtonReaction reaction;
      switch (step.event) {
        case Event::kMove: reaction = state.OnMouseMove(); break;
        case Event::kLeave: reaction = state.OnMouseLeave(); break;
        case Event::kDown: reaction = state.OnLButtonDown(sequence.hasImage); break;
        case Event::kUp: reaction = state.OnLButtonUp(sequence.hasImage); break;
      }
      EXPECT_EQ(state.mouseState, step.stateAfter) << sequence.name << ", step " << i;
      EXPECT_EQ(reaction, step.reaction) << sequence.name << ", step " << i;
    }
  }
}

TEST(ImageButtonState, SlicesAreAThirdOfTheStripAndLeftOverRowsAreNeverShown) {
  ImageButtonState state;
  EXPECT_EQ(state.SourceY(), 0);
  state.SetImageSize(90, 100);
  EXPECT_EQ(state.sliceWidth, 90);
  EXPECT_EQ(state.sliceHeight, 33);
  const std::pair<std::int32_t, int> rows[] = {{kMouseNormal, 0}, {kMouseHover, 33}, {kMousePressed, 66}};
  for (auto [mouse, row] : rows) {
    state.mouseState = mouse;
    EXPECT_EQ(state.SourceY(), row) << "state " << mouse;
    // The last row of the pressed slice is 98: row 99 stays out.
    EXPECT_LE(state.SourceY() + state.sliceHeight, 99);
  }
}

TEST(ImageButtonState, TheLabelBandIsTwelvePixelsAcrossTheMiddle) {
  struct Case {
    int x, y, width, height;
    LabelBand band;
  };
  const Case cases[] = {
      {0, 0, 200, 40, {0, 15, 200, 27}},
      {0, 0, 42, 23, {0, 6, 42, 18}},
      {10, 0, 100, 41, {10, 15, 110, 27}},
      {0, 0, 50, 3, {0, -4, 50, 8}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LabelBandFor(c.x, c.y, c.width, c.height), c.band) << c.width << "x" << c.height;
}

}  // namespace
}  // namespace kestrel
