#include "browser/skin_layout.h"

#include "ui/ui_commands.h"

bool Contains(const ControlPlace& place, int x, int y) {
  return x >= place.x && x < place.x + place.width && y >= place.y && y < place.y + place.height;
}

ReleaseOutcome CommandsForRelease(int x, int y, const PictureVisibility& visible) {
  ReleaseOutcome outcome;
  std::vector<uint32_t>& posted = outcome.commands;
  if (Contains(kClosePlace, x, y)) posted.push_back(UI_CLOSE);
  if (Contains(kHelpPlace, x, y)) posted.push_back(UI_HELP);
  const bool onAction = Contains(kActionPlace, x, y);
  if (visible.start && onAction) {
    posted.push_back(UI_START);
    outcome.startTookIt = true;
    return outcome;
  }
  if (visible.continuation && onAction) posted.push_back(UI_CONTINUE);
  if (visible.folder && Contains(kFolderPicturePlace, x, y)) posted.push_back(UI_CHOOSE_FOLDER);
  if (visible.pause && onAction) posted.push_back(UI_PAUSE);
  return outcome;
}
