// What the terminal front end shows, as plain data, and the pure rules that
// lay it out on a screen of a given size and turn keys into UI commands.
// Kept apart from the curses code so both can be checked without a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/terminal/page_summary.h"

struct ScreenModel {
  bool built = false;  // the status controls exist (UI_BUILD)
  bool startPicture = false;
  bool continuePicture = false;
  bool pausePicture = false;
  bool folderPicture = false;
  bool folderField = false;
  bool progressBar = false;
  int progress = 0;
  std::wstring statusLine;
  std::wstring detailLine;
  std::wstring versionLabel;
  std::wstring folderText;
  std::string pageAddress;
  std::wstring pageTitle;
  std::vector<PageLink> pageLinks;  // keys 1 to 9
  std::wstring message;             // a one-line note, such as an address to open
};

inline constexpr int kMinColumns = 60;
inline constexpr int kMinRows = 16;

// The screen as rows of exactly columns characters each (wide text, one
// character a cell). A screen below the minimum holds only a note saying so.
std::vector<std::wstring> ComposeScreen(const ScreenModel& model, int columns, int rows);

// The folder the user typed as an absolute path: "~" and "~/..." start at
// home, any other relative path at the current directory. The launcher's
// argument must name the folder from wherever the program is started again.
std::string AbsoluteFolder(const std::string& typed, const std::string& home,
                           const std::string& current);

// The command a key posts, as the click rectangle of the picture it stands
// for would: 0 when the key means nothing now. Keys: i INICIAR, c CONTINUAR,
// p PAUSAR, Enter the action picture shown, f folder choice, h or ? help,
// q, x or Escape close, 1 to 9 the page's links.
uint32_t KeyCommand(const ScreenModel& model, int key);
