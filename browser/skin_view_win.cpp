#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "browser/browser_window.h"
#include "browser/open_as_user.h"
#include "browser/skin.h"
#include "browser/skin_view.h"
#include "browser/taskbar_button_win.h"
#include "platform/narrow_text.h"

namespace {

HWND MainWindow() { return static_cast<HWND>(TheMainWindow.load()); }

class SkinView final : public MainView {
 public:
  void CreateStatusControls() override { ::CreateStatusControls(MainWindow()); }

  void ShowOrHide(ViewControl control, bool show) override {
    // The action pictures go through the window's own message.
    switch (control) {
      case ViewControl::StartPicture:
        ShowActionButton(1, show);
        return;
      case ViewControl::ContinuePicture:
        ShowActionButton(2, show);
        return;
      case ViewControl::PausePicture:
        ShowActionButton(3, show);
        return;
      default:
        if (WindowHandle handle = SkinControl(control)) ::ShowOrHide(handle, show);
    }
  }

  void SetLabelText(ViewLabel label, const std::wstring& text) override {
    HWND control = static_cast<HWND>(SkinLabel(label));
    if (control == nullptr) return;
    SetWindowTextW(control, text.c_str());
    // Labels without a background of their own (the version label) would
    // keep the old text's pixels: repaint what lies under the label.
    HWND main = MainWindow();
    RECT under;
    GetClientRect(control, &under);
    MapWindowPoints(control, main, reinterpret_cast<POINT*>(&under), 2);
    RedrawWindow(main, &under, nullptr, RDW_ERASE | RDW_INVALIDATE);
    UpdateWindow(main);
  }

  void SetFolderText(const std::wstring& text) override {
    if (HWND field = static_cast<HWND>(SkinControl(ViewControl::FolderField))) {
      SetWindowTextW(field, text.c_str());
    }
  }

  void SetProgressPosition(int percent) override {
    if (HWND bar = static_cast<HWND>(SkinControl(ViewControl::ProgressBar))) {
      SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
  }

  void ShowPage(const std::string& address) override {
    if (Q9BrowserWindow* window = TheBrowserWindow.load())
      window->ShowPage(true, WidenText(address));
  }

  bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
    // Anything but No counts as Yes.
    return MessageBoxW(MainWindow(), text.c_str(), caption.c_str(), MB_YESNO) != IDNO;
  }

  void ShowNotice(const std::wstring& text, const std::wstring& caption) override {
    MessageBoxW(MainWindow(), text.c_str(), caption.c_str(), MB_OK);
  }

  std::string ChooseFolder() override {
    // The wide calls: the narrow ones cannot name a folder outside the ANSI
    // code page, and "best fit" could turn it into another, existing one.
    BROWSEINFOW options{};
    LPITEMIDLIST chosen = SHBrowseForFolderW(&options);
    if (chosen == nullptr) return {};
    wchar_t path[MAX_PATH] = {};
    const bool found = SHGetPathFromIDListW(chosen, path) != FALSE;
    IMalloc* shellAllocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellAllocator)) && shellAllocator != nullptr) {
      shellAllocator->Free(chosen);
      shellAllocator->Release();
    }
    return found ? NarrowText(path) : std::string();
  }

  void Flash() override {
    FLASHWINFO flash{sizeof flash, MainWindow(), FLASHW_ALL, 3, 0};
    FlashWindowEx(&flash);
  }

  void OpenInBrowser(const std::string& address) override { OpenAsUser(WidenText(address)); }

  void SetTaskbarProgress(TaskbarState state, int percent) override {
    ShowTaskbarButtonProgress(state, percent);
  }
};

}  // namespace

MainView& TheSkinView() {
  static SkinView view;
  return view;
}
