// Where the skin puts its pictures and controls in the main window's client
// area (x to the right, y down, pixels), and which command a button release
// posts. Portable, so the click rules can be checked without a window.
#pragma once

#include <cstdint>
#include <vector>

struct ControlPlace {
  int x, y, width, height;
};

// The client area is 760 by 600: banner on top, browser control below it,
// black panel at the bottom.
inline constexpr int kClientWidth = 760;
inline constexpr int kBannerHeight = 116;
inline constexpr int kBrowserWidth = 760;
inline constexpr int kBrowserHeight = 380;

// Pictures, made on WM_CREATE. Each takes the size of its bitmap; width and
// height here are those of the click rectangles and of the created control.
inline constexpr ControlPlace kBannerPlace{0, 0, 760, 116};
inline constexpr ControlPlace kClosePlace{725, 5, 25, 23};
inline constexpr ControlPlace kHelpPlace{696, 5, 25, 23};
inline constexpr ControlPlace kActionPlace{575, 518, 163, 64};
inline constexpr ControlPlace kFolderPicturePlace{524, 529, 25, 23};

// Status controls, made on UI_BUILD.
inline constexpr ControlPlace kStatusLinePlace{16, 518, 543, 16};
inline constexpr ControlPlace kFolderFieldPlace{16, 534, 492, 13};
inline constexpr ControlPlace kDetailLinePlace{16, 552, 543, 16};
inline constexpr ControlPlace kProgressBarPlace{16, 568, 543, 13};
inline constexpr ControlPlace kVersionLabelPlace{700, 104, 54, 12};

// Left and top edges inside, right and bottom edges outside.
[[nodiscard]] bool Contains(const ControlPlace& place, int x, int y);

// Which of the pictures that can come and go are visible at the release.
struct PictureVisibility {
  bool start = false;
  bool continuation = false;
  bool pause = false;
  bool folder = false;
};

struct ReleaseOutcome {
  // UI commands to post, in this order, each with parameter 0.
  std::vector<uint32_t> commands;
  // True when the start picture took the release: the handling ends there
  // and the release does not end a drag.
  bool startTookIt = false;
};

// The commands a left-button release at client point (x, y) posts.
[[nodiscard]] ReleaseOutcome CommandsForRelease(int x, int y, const PictureVisibility& visible);
