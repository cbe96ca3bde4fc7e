// What the UI controller and the status display need of the main window,
// named for what the user sees. The Windows window, the Linux terminal and
// the tests' recording stand-in implement it; the controller and the display
// are the same code on all of them.
//
// Every operation is called on the UI thread only (the thread that runs the
// main message loop), and only by the controller and the display.
#pragma once

#include <string>

enum class ViewControl {
  StartPicture,     // INICIAR
  ContinuePicture,  // CONTINUAR
  PausePicture,     // PAUSAR
  FolderPicture,    // the three dots next to the folder field
  FolderField,
  ProgressBar,
};

enum class ViewLabel {
  StatusLine,
  DetailLine,
  VersionLabel,
};

// What the progress outside the window (the taskbar button, the terminal's
// title) says: nothing, running, paused, failed.
enum class TaskbarState {
  None,
  Normal,
  Paused,
  Error,
};

class MainView {
 public:
  // Makes the text lines, the folder field, the progress bar and the version
  // label (UI_BUILD).
  virtual void CreateStatusControls() = 0;
  virtual void ShowOrHide(ViewControl control, bool show) = 0;
  // Sets the text and redraws what lies under the label.
  virtual void SetLabelText(ViewLabel label, const std::wstring& text) = 0;
  virtual void SetFolderText(const std::wstring& text) = 0;
  // 0 to 100.
  virtual void SetProgressPosition(int percent) = 0;
  // Navigates the page area to the address and shows the window.
  virtual void ShowPage(const std::string& address) = 0;
  // Modal question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::wstring& text, const std::wstring& caption) = 0;
  // Modal notice with an OK button; returns once it is dismissed.
  virtual void ShowNotice(const std::wstring& text, const std::wstring& caption) = 0;
  // The folder the user picked, or empty when the choice was cancelled.
  virtual std::string ChooseFolder() = 0;
  // Draws the user's attention to the window (three flashes on Windows).
  virtual void Flash() = 0;
  // Opens a web address in the user's own browser.
  virtual void OpenInBrowser(const std::string& address) = 0;
  // The progress where the user looks while working elsewhere; percent 0 to
  // 100, unused with None.
  virtual void SetTaskbarProgress(TaskbarState state, int percent) = 0;

 protected:
  ~MainView() = default;
};

// Shows or hides action picture n: 1 INICIAR, 2 CONTINUAR, 3 PAUSAR; any
// other n changes nothing.
void ShowActionButton(MainView& view, int n, bool show);

// The view of this process; set by the front end before the main loop runs.
extern MainView* TheMainView;
