// UI command codes: the wParam of WM_UI_COMMAND; the lParam is the command's
// parameter. Every other code does nothing.
#pragma once

#include <cstdint>

enum UiCommand : uint32_t {
  UI_START = 100,
  UI_CONTINUE = 102,
  UI_HELP = 103,
  UI_CHOOSE_FOLDER = 110,
  UI_STATUS = 200,
  UI_REFRESH = 201,
  UI_PROGRESS = 202,
  UI_AWAIT_START = 500,
  UI_BUILD = 700,
  UI_PAUSE = 800,
  UI_CLOSE = 999,
};
