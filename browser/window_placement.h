// Where the main window goes: centred on the desktop work area, sized so
// that its client area is close to 760 by 600.
#pragma once

struct WindowBox {
  int x, y, width, height;
};

// right and bottom are the work area's right and bottom edges; edge and frame
// the system's edge and dialog-frame widths. The height adds the edge width
// too, as the width does.
[[nodiscard]] WindowBox PlaceInWorkArea(int right, int bottom, int edge, int frame);
