#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <uxtheme.h>

#include "browser/browser_window.h"
#include "browser/container_site.h"
#include "browser/skin.h"
#include "browser/skin_layout.h"
#include "browser/taskbar_button_win.h"
#include "browser/window_procs_win.h"
#include "browser/window_title.h"

namespace {
const wchar_t kClassName[] = L"Q9Browser0029";
constexpr COLORREF kTextColour = RGB(235, 235, 235);
constexpr COLORREF kBarColour = 0xFFCD84;
constexpr COLORREF kBarBackground = 0xFFFFFF;

// Everything the skin makes is kept for the life of the process.
HBRUSH backgroundBrush = nullptr;

enum Picture { kBanner, kClose, kHelp, kStart, kContinue, kPause, kFolderPicture, kPictureCount };
struct PictureSpec {
  int resource;
  ControlPlace place;
};
// In creation order.
constexpr PictureSpec kPictures[kPictureCount] = {
    {2100, kBannerPlace}, {2019, kClosePlace},  {2018, kHelpPlace},          {2000, kActionPlace},
    {2001, kActionPlace}, {2002, kActionPlace}, {2010, kFolderPicturePlace},
};
HBITMAP bitmaps[kPictureCount] = {};
HWND pictures[kPictureCount] = {};

HWND statusLine = nullptr;
HWND folderField = nullptr;
HWND detailLine = nullptr;
HWND progressBar = nullptr;
HWND versionLabel = nullptr;
HFONT mainFont = nullptr;
HFONT smallFont = nullptr;

HWND MakeControl(HWND parent, const wchar_t* className, DWORD style, const ControlPlace& place) {
  return CreateWindowExW(0, className, L"", WS_CHILD | style, place.x, place.y, place.width,
                         place.height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HFONT MakeFont(int height, int width) {
  return CreateFontW(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                     L"Arial");
}

bool Visible(Picture picture) {
  return pictures[picture] != nullptr && IsWindowVisible(pictures[picture]);
}

LRESULT OnButtonUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Where the cursor is now, not where the message says it was.
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(window, &cursor);
  const PictureVisibility visible{Visible(kStart), Visible(kContinue), Visible(kPause),
                                  Visible(kFolderPicture)};
  const ReleaseOutcome outcome = CommandsForRelease(cursor.x, cursor.y, visible);
  for (uint32_t command : outcome.commands) {
    PostWindowMessage(TheMainWindow.load(), WM_UI_COMMAND, command, 0);
  }
  // INICIAR leaves the drag begun at button-down as it is.
  if (outcome.startTookIt) return DefWindowProcW(window, message, wParam, lParam);
  return BrowserWindowProc(window, message, wParam, lParam);
}
}  // namespace

void CreateSkin(WindowHandle handle) {
  HWND window = static_cast<HWND>(handle);
  backgroundBrush = CreateSolidBrush(0);
  SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(backgroundBrush));
  HINSTANCE module = GetModuleHandleW(nullptr);
  for (int i = 0; i < kPictureCount; ++i) {
    bitmaps[i] = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(kPictures[i].resource),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    pictures[i] = MakeControl(window, L"Static", WS_VISIBLE | SS_BITMAP, kPictures[i].place);
    SendMessageW(pictures[i], STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmaps[i]));
  }
}

void CreateStatusControls(WindowHandle handle) {
  HWND window = static_cast<HWND>(handle);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  statusLine = MakeControl(window, L"Static", WS_VISIBLE | SS_LEFT, kStatusLinePlace);
  folderField = MakeControl(window, L"Edit", WS_VISIBLE | ES_LEFT, kFolderFieldPlace);
  detailLine = MakeControl(window, L"Static", WS_VISIBLE | SS_LEFT, kDetailLinePlace);
  progressBar = MakeControl(window, PROGRESS_CLASSW, PBS_SMOOTH, kProgressBarPlace);
  versionLabel = MakeControl(window, L"Static", WS_VISIBLE | SS_CENTER, kVersionLabelPlace);

  // A themed bar ignores its colours. A theme name that names no theme keeps
  // this one classic wherever visual styles are on.
  SetWindowTheme(progressBar, L" ", L" ");
  SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(progressBar, PBM_SETBARCOLOR, 0, kBarColour);
  SendMessageW(progressBar, PBM_SETBKCOLOR, 0, kBarBackground);
  SetWindowLongW(progressBar, GWL_EXSTYLE, 0);

  mainFont = MakeFont(14, 6);
  smallFont = MakeFont(10, 5);
  for (HWND control : {statusLine, detailLine, folderField}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(mainFont), TRUE);
  }
  SendMessageW(versionLabel, WM_SETFONT, reinterpret_cast<WPARAM>(smallFont), TRUE);
}

WindowHandle SkinControl(ViewControl control) {
  switch (control) {
    case ViewControl::StartPicture:
      return pictures[kStart];
    case ViewControl::ContinuePicture:
      return pictures[kContinue];
    case ViewControl::PausePicture:
      return pictures[kPause];
    case ViewControl::FolderPicture:
      return pictures[kFolderPicture];
    case ViewControl::FolderField:
      return folderField;
    case ViewControl::ProgressBar:
      return progressBar;
  }
  return nullptr;
}

WindowHandle SkinLabel(ViewLabel label) {
  switch (label) {
    case ViewLabel::StatusLine:
      return statusLine;
    case ViewLabel::DetailLine:
      return detailLine;
    case ViewLabel::VersionLabel:
      return versionLabel;
  }
  return nullptr;
}

void ShowOrHide(WindowHandle control, bool show) {
  HWND window = static_cast<HWND>(control);
  ShowWindow(window, show ? SW_SHOW : SW_HIDE);
  UpdateWindow(window);
}

void ShowActionButton(int n, bool show) {
  if (HWND main = FindWindowW(kClassName, nullptr)) {
    SendMessageW(main, WM_SHOWACTIONBUTTON, n, show ? 1 : 0);
  }
}

LRESULT CALLBACK SkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsTaskbarButtonCreated(message)) {
    ConnectTaskbarButton(window);
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      // The pictures exist before the browser control is embedded.
      CreateSkin(window);
      AcceptTaskbarButtonCreated(window);
      return BrowserWindowProc(window, message, wParam, lParam);
    case WM_DESTROY:
      ReleaseTaskbarButton();
      return BrowserWindowProc(window, message, wParam, lParam);
    case WM_CTLCOLORSTATIC: {
      HDC context = reinterpret_cast<HDC>(wParam);
      SetTextColor(context, kTextColour);
      SetBkMode(context, TRANSPARENT);
      // The version label lets the banner show around its text.
      if (reinterpret_cast<HWND>(lParam) == versionLabel && versionLabel != nullptr) {
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      return reinterpret_cast<LRESULT>(backgroundBrush);
    }
    case WM_LBUTTONUP:
      return OnButtonUp(window, message, wParam, lParam);
    case WM_SETTITLECOUNT:
      SetWindowTextW(
          window,
          TitleForCount(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)).c_str());
      return 0;
    case WM_SHOWACTIONBUTTON: {
      const Picture picked = wParam == 1 ? kStart : wParam == 2 ? kContinue : kPause;
      if (wParam >= 1 && wParam <= 3) ShowOrHide(pictures[picked], lParam != 0);
      return 0;
    }
    case WM_STOPRELOAD:
      StopPageReload();
      return 0;
    default:
      return BrowserWindowProc(window, message, wParam, lParam);
  }
}
