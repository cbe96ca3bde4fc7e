#include "browser/skin_layout.h"

#include <gtest/gtest.h>

#include "ui/ui_commands.h"

namespace {

using Commands = std::vector<uint32_t>;

struct ReleaseCase {
  const char* what;
  int x, y;
  PictureVisibility visible;
  Commands posted;
  bool startTookIt;
};

constexpr PictureVisibility kNone{};
constexpr PictureVisibility kAll{true, true, true, true};
constexpr PictureVisibility kStartOnly{true, false, false, false};
constexpr PictureVisibility kContinueOnly{false, true, false, false};
constexpr PictureVisibility kPauseOnly{false, false, true, false};
constexpr PictureVisibility kContinueAndPause{false, true, true, false};
constexpr PictureVisibility kFolderOnly{false, false, false, true};

TEST(SkinLayoutTest, ReleasePostsTheCommandsOfItsRectanglesInOrder) {
  const ReleaseCase cases[] = {
      {"close corner", 725, 5, kNone, {UI_CLOSE}, false},
      {"close with everything shown", 725, 5, kAll, {UI_CLOSE}, false},
      {"right edge of close", 750, 5, kAll, {}, false},
      {"bottom edge of close", 737, 28, kAll, {}, false},
      {"help", 696, 5, kNone, {UI_HELP}, false},
      {"right edge of help", 721, 27, kNone, {}, false},
      {"start wins over the others", 600, 550, kAll, {UI_START}, true},
      {"start alone", 600, 550, kStartOnly, {UI_START}, true},
      {"pause alone", 600, 550, kPauseOnly, {UI_PAUSE}, false},
      {"continue alone", 600, 550, kContinueOnly, {UI_CONTINUE}, false},
      {"continue and pause both post", 600, 550, kContinueAndPause, {UI_CONTINUE, UI_PAUSE}, false},
      {"past the action rectangle", 738, 550, kAll, {}, false},
      {"last action column", 737, 581, kStartOnly, {UI_START}, true},
      {"below the action rectangle", 600, 582, kAll, {}, false},
      {"action picture hidden", 600, 550, kFolderOnly, {}, false},
      {"folder picture", 524, 529, kFolderOnly, {UI_CHOOSE_FOLDER}, false},
      {"folder picture hidden", 524, 529, kNone, {}, false},
      {"folder picture's far corner", 548, 551, kFolderOnly, {UI_CHOOSE_FOLDER}, false},
      {"outside everything", 300, 300, kAll, {}, false},
  };
  for (const ReleaseCase& c : cases) {
    const ReleaseOutcome outcome = CommandsForRelease(c.x, c.y, c.visible);
    EXPECT_EQ(outcome.commands, c.posted) << c.what;
    EXPECT_EQ(outcome.startTookIt, c.startTookIt) << c.what;
  }
}

}  // namespace
