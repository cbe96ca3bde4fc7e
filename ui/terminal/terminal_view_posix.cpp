// The terminal screen: a curses MainView on the main thread. Keys reach the
// main loop through the queue's input source; the modal prompts read keys
// themselves. The terminal, and the title it had, are given back on every way
// out: the loop's end, ExitImmediately (the exit hook) and a fatal signal.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/exit.h"
#include "platform/message_queue_posix.h"
#include "platform/narrow_text.h"
#include "ui/terminal/front_end.h"
#include "ui/terminal/page_summary.h"
#include "ui/terminal/terminal_screen.h"
#include "ui/terminal/terminal_title.h"
#include "ui/terminal/terminal_view.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {
constexpr int kEscape = 27;

// Saved before curses takes the terminal; used by the signal handler, which
// may only call async-signal-safe functions.
termios savedModes;
bool haveSavedModes = false;
char restoreSequence[128];
size_t restoreLength = 0;

std::mutex screenLock;  // one draw or the terminal's release at a time
bool active = false;    // curses owns the terminal
// The title found is saved on the terminal's stack and ours is shown.
bool ownsTitle = false;

void WriteOut(const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes, length);
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
}

void Release() {
  std::lock_guard<std::mutex> hold(screenLock);
  if (!active) return;
  active = false;
  endwin();
  if (ownsTitle) WriteOut(kRestoreTitleSequence, sizeof kRestoreTitleSequence - 1);
}

void OnFatalSignal(int signal) {
  if (restoreLength > 0) (void)!::write(STDOUT_FILENO, restoreSequence, restoreLength);
  if (haveSavedModes) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedModes);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void AddRestoreBytes(const char* value) {
  const size_t length = std::strlen(value);
  if (restoreLength + length >= sizeof restoreSequence) return;
  std::memcpy(restoreSequence + restoreLength, value, length);
  restoreLength += length;
}

void AddCapability(const char* name) {
  const char* value = tigetstr(const_cast<char*>(name));
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return;
  AddRestoreBytes(value);
}

// Waits for one key without holding the screen, so that the exit hook can
// always take the terminal back. ERR once the terminal is released.
int WaitKey(wint_t* key) {
  for (;;) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    ::poll(&input, 1, 200);
    std::lock_guard<std::mutex> hold(screenLock);
    if (!active) return ERR;
    const int kind = get_wch(key);
    if (kind != ERR) return kind;
  }
}

class TerminalView final : public MainView {
 public:
  void CreateStatusControls() override {
    if (!active) Start();
    model_.built = true;
    Draw();
  }
  void ShowOrHide(ViewControl control, bool show) override {
    bool* flags[] = {&model_.startPicture,  &model_.continuePicture, &model_.pausePicture,
                     &model_.folderPicture, &model_.folderField,     &model_.progressBar};
    *flags[static_cast<int>(control)] = show;
    Draw();
  }
  void SetLabelText(ViewLabel label, const std::wstring& text) override {
    std::wstring* labels[] = {&model_.statusLine, &model_.detailLine, &model_.versionLabel};
    *labels[static_cast<int>(label)] = text;
    Draw();
  }
  void SetFolderText(const std::wstring& text) override {
    model_.folderText = text;
    Draw();
  }
  void SetProgressPosition(int percent) override {
    model_.progress = percent;
    Draw();
  }
  void ShowPage(const std::string& address) override {
    model_.pageAddress = address;
    model_.pageTitle.clear();
    model_.pageLinks.clear();
    Draw();
    // The title and the links follow when the page has been fetched.
    if (pageWindow_ != nullptr) FetchPageSummary(address, pageWindow_, ++pageSerial_);
  }
  bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
    for (;;) {
      const int key = Prompt(caption, text, L"[s] Sí   [n] No");
      if (key == 's' || key == 'S' || key == 'y' || key == 'Y') return true;
      if (key == 'n' || key == 'N' || key == kEscape) return false;
    }
  }
  void ShowNotice(const std::wstring& text, const std::wstring& caption) override {
    for (;;) {
      const int key = Prompt(caption, text, L"[Enter] Aceptar");
      if (key == '\n' || key == '\r' || key == ' ' || key == kEscape) return;
    }
  }
  std::string ChooseFolder() override;
  void Flash() override {
    std::lock_guard<std::mutex> hold(screenLock);
    if (active) beep();
  }
  void OpenInBrowser(const std::string& address) override {
    model_.message = OpenWithDesktopBrowser(address)
                         ? L"Abierto en el navegador: " + WidenText(address)
                         : L"Abrir en el navegador: " + WidenText(address);
    Draw();
  }

  void SetTaskbarProgress(TaskbarState state, int percent) override {
    const std::string sequence = TitleSequence(TerminalTitle(state, percent));
    std::lock_guard<std::mutex> hold(screenLock);
    // Curses has flushed its last draw: the title goes between two draws.
    if (active && ownsTitle) WriteOut(sequence.data(), sequence.size());
  }

  // The queue's input reader: keys become UI commands for the loop.
  bool ReadKey(Message* message) {
    wint_t key = 0;
    int kind;
    {
      std::lock_guard<std::mutex> hold(screenLock);
      if (!active) return false;
      kind = get_wch(&key);
    }
    if (kind == ERR) return false;
    if (kind == KEY_CODE_YES) {
      if (key == KEY_RESIZE) Draw();
      if (key == KEY_ENTER)
        key = '\n';
      else
        return false;
    }
    if (key == 'o' || key == 'O') {
      if (!model_.pageAddress.empty()) OpenInBrowser(model_.pageAddress);
      return false;
    }
    const uint32_t code = KeyCommand(model_, static_cast<int>(key));
    if (code == 0) return false;
    model_.message.clear();
    *message = {TheMainWindow.load(), WM_UI_COMMAND, code, 0};
    return true;
  }

 private:
  void Start() {
    if (::tcgetattr(STDIN_FILENO, &savedModes) == 0) haveSavedModes = true;
    std::setlocale(LC_ALL, "");
    {
      std::lock_guard<std::mutex> hold(screenLock);
      initscr();
      cbreak();
      noecho();
      nonl();
      keypad(stdscr, TRUE);
      nodelay(stdscr, TRUE);
      set_escdelay(25);
      curs_set(0);
      active = true;
      AddCapability("sgr0");
      AddCapability("cnorm");
      AddCapability("rmkx");
      AddCapability("rmcup");
      // Only a terminal has a title to keep.
      ownsTitle = ::isatty(STDOUT_FILENO) != 0;
      if (ownsTitle) {
        WriteOut(kSaveTitleSequence, sizeof kSaveTitleSequence - 1);
        AddRestoreBytes(kRestoreTitleSequence);
      }
    }
    for (int signal :
         {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
      struct sigaction action {};
      action.sa_handler = OnFatalSignal;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND;
      sigaction(signal, &action, nullptr);
    }
    SetBeforeExitHook(Release);
    pageWindow_ = CreatePosixWindow(PageWindowProc, this);
    CurrentThreadQueue().SetInputSource(STDIN_FILENO, [](Message* message) {
      return static_cast<TerminalView*>(TheMainView)->ReadKey(message);
    });
  }

  void DrawLocked(const std::vector<std::wstring>* overlay) {
    if (!active) return;
    int rows = 0, columns = 0;
    getmaxyx(stdscr, rows, columns);
    const auto lines = ComposeScreen(model_, columns, rows);
    erase();
    for (size_t row = 0; row < lines.size(); ++row) {
      // The last cell of the last row would scroll some terminals.
      std::wstring line = lines[row];
      if (row + 1 == lines.size() && !line.empty()) line.pop_back();
      mvaddwstr(static_cast<int>(row), 0, line.c_str());
    }
    if (overlay != nullptr && columns >= kMinColumns && rows >= kMinRows) {
      const int top = rows / 2 - static_cast<int>(overlay->size()) / 2;
      for (size_t i = 0; i < overlay->size(); ++i) {
        attron(A_REVERSE);
        mvaddwstr(top + static_cast<int>(i), 2, (*overlay)[i].c_str());
        attroff(A_REVERSE);
      }
    }
    refresh();
  }

  void Draw(const std::vector<std::wstring>* overlay = nullptr) {
    std::lock_guard<std::mutex> hold(screenLock);
    DrawLocked(overlay);
  }

  // Draws a modal box and waits for one key (a resize redraws it).
  int Prompt(const std::wstring& caption, const std::wstring& text, const std::wstring& keys) {
    for (;;) {
      int columns = getmaxx(stdscr);
      const size_t width = static_cast<size_t>(std::max(columns - 4, 10));
      std::vector<std::wstring> box;
      auto add = [&](const std::wstring& line) {
        for (size_t at = 0; at == 0 || at < line.size(); at += width - 2) {
          std::wstring piece = L" " + line.substr(at, width - 2);
          piece.resize(width, L' ');
          box.push_back(piece);
        }
      };
      add(caption);
      add(L"");
      add(text);
      add(L"");
      add(keys);
      Draw(&box);
      wint_t key = 0;
      const int kind = WaitKey(&key);
      if (kind == ERR) return kEscape;
      if (kind == KEY_CODE_YES && key == KEY_ENTER) return '\n';
      if (kind == OK) return static_cast<int>(key);
    }
  }

  static void PageWindowProc(WindowHandle, const Message& message, void* context) {
    if (message.message != WM_PAGE_SUMMARY) return;
    std::unique_ptr<PageSummary> summary(reinterpret_cast<PageSummary*>(message.wParam));
    auto* view = static_cast<TerminalView*>(context);
    // A page asked for later replaces this one.
    if (message.lParam != view->pageSerial_) return;
    view->model_.pageTitle = summary->title;
    view->model_.pageLinks = summary->links;
    view->Draw();
  }

  ScreenModel model_;
  WindowHandle pageWindow_ = nullptr;
  intptr_t pageSerial_ = 0;
};

std::string TerminalView::ChooseFolder() {
  std::wstring text = WidenText(TheUiState.DownloadFolder());
  size_t cursor = text.size();
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(screenLock);
      if (!active) return {};
      DrawLocked(nullptr);
      int rows = 0, columns = 0;
      getmaxyx(stdscr, rows, columns);
      const std::wstring label = L" Carpeta de descarga (Enter acepta, Esc cancela): ";
      mvaddwstr(rows - 3, 0, label.c_str());
      clrtoeol();
      const int room = std::max(columns - 2, 10);
      // Scroll the field so the cursor stays in view.
      const size_t first = cursor >= static_cast<size_t>(room) ? cursor - room + 1 : 0;
      mvaddwstr(rows - 2, 1, text.substr(first, static_cast<size_t>(room)).c_str());
      clrtoeol();
      move(rows - 2, 1 + static_cast<int>(cursor - first));
      curs_set(1);
      refresh();
    }
    wint_t key = 0;
    int kind = WaitKey(&key);
    if (kind == ERR) return {};
    if (kind == KEY_CODE_YES) {
      switch (key) {
        case KEY_LEFT:
          if (cursor > 0) --cursor;
          break;
        case KEY_RIGHT:
          if (cursor < text.size()) ++cursor;
          break;
        case KEY_HOME:
          cursor = 0;
          break;
        case KEY_END:
          cursor = text.size();
          break;
        case KEY_BACKSPACE:
          if (cursor > 0) text.erase(--cursor, 1);
          break;
        case KEY_DC:
          if (cursor < text.size()) text.erase(cursor, 1);
          break;
        case KEY_ENTER:
          key = '\n';
          kind = OK;
          break;
        default:
          break;
      }
      if (kind == KEY_CODE_YES) continue;
    }
    if (kind != OK) continue;
    if (key == '\n' || key == '\r') {
      curs_set(0);
      Draw();
      const char* home = std::getenv("HOME");
      std::error_code error;
      const std::string current = std::filesystem::current_path(error).string();
      return AbsoluteFolder(NarrowText(text), home != nullptr ? home : "", current);
    }
    if (key == static_cast<wint_t>(kEscape)) {
      curs_set(0);
      Draw();
      return {};
    }
    if (key == 127 || key == 8) {
      if (cursor > 0) text.erase(--cursor, 1);
    } else if (key == 1) {
      cursor = 0;
    } else if (key == 5) {
      cursor = text.size();
    } else if (key == 21) {
      text.erase(0, cursor);
      cursor = 0;
    } else if (key >= 32) {
      text.insert(cursor++, 1, static_cast<wchar_t>(key));
    }
  }
}
}  // namespace

MainView* CreateTerminalView() { return new TerminalView; }
