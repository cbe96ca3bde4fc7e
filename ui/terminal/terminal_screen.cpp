#include "ui/terminal/terminal_screen.h"

#include <algorithm>

#include "ui/ui_commands.h"

namespace {
constexpr int kEscape = 27;

std::wstring Fit(std::wstring text, int columns) {
  if (static_cast<int>(text.size()) > columns) text.resize(static_cast<size_t>(columns));
  text.append(static_cast<size_t>(columns) - text.size(), L' ');
  return text;
}

std::wstring LeftRight(const std::wstring& left, const std::wstring& right, int columns) {
  const int room = columns - static_cast<int>(right.size());
  if (room <= 0) return Fit(right, columns);
  return Fit(left, room) + right;
}

std::wstring ActionHint(const ScreenModel& model) {
  if (model.startPicture) return L"[Enter/i] INICIAR";
  if (model.continuePicture) return L"[Enter/c] CONTINUAR";
  if (model.pausePicture) return L"[Enter/p] PAUSAR";
  return L"";
}

// The text in lines of at most width characters, broken at blanks where a
// word fits, inside a word where it does not.
std::vector<std::wstring> Wrap(const std::wstring& text, size_t width) {
  std::vector<std::wstring> lines;
  size_t at = 0;
  while (at < text.size()) {
    if (text.size() - at <= width) {
      lines.push_back(text.substr(at));
      break;
    }
    size_t end = text.rfind(L' ', at + width);
    if (end == std::wstring::npos || end <= at) end = at + width;
    lines.push_back(text.substr(at, end - at));
    at = end;
    while (at < text.size() && text[at] == L' ') ++at;
  }
  if (lines.empty()) lines.emplace_back();
  return lines;
}

std::wstring ProgressBar(int percent, int columns) {
  percent = std::clamp(percent, 0, 100);
  const int inner = std::max(columns - 9, 1);
  const int filled = inner * percent / 100;
  std::wstring bar = L" [" + std::wstring(static_cast<size_t>(filled), L'#') +
                     std::wstring(static_cast<size_t>(inner - filled), L'.') + L"]";
  std::wstring figure = std::to_wstring(percent) + L" %";
  return bar + std::wstring(6 - std::min<size_t>(figure.size(), 5), L' ') + figure;
}
}  // namespace

std::vector<std::wstring> ComposeScreen(const ScreenModel& model, int columns, int rows) {
  std::vector<std::wstring> lines;
  if (columns <= 0 || rows <= 0) return lines;
  if (columns < kMinColumns || rows < kMinRows) {
    lines.assign(static_cast<size_t>(rows), Fit(L"", columns));
    lines[0] = Fit(L"Tovi Downloader 2.1: la terminal es demasiado pequeña", columns);
    if (rows > 1) {
      lines[1] =
          Fit(L"(mínimo " + std::to_wstring(kMinColumns) + L"x" + std::to_wstring(kMinRows) +
                  L"; ahora " + std::to_wstring(columns) + L"x" + std::to_wstring(rows) + L")",
              columns);
    }
    return lines;
  }
  const std::wstring rule(static_cast<size_t>(columns), L'-');
  // A long status (the failure texts end in the support address) is shown
  // whole, on as many rows as the page area can give up.
  std::vector<std::wstring> status = Wrap(model.statusLine, static_cast<size_t>(columns - 2));
  status.resize(std::min(status.size(), static_cast<size_t>(std::max(rows - 11, 1))));
  lines.push_back(LeftRight(L" Tovi Downloader 2.1", L"[?] ayuda  [x] cerrar ", columns));
  lines.push_back(rule);
  std::wstring page(model.pageAddress.begin(), model.pageAddress.end());
  lines.push_back(Fit(
      L" Página: " + (model.pageTitle.empty() ? page : model.pageTitle + L"  " + page), columns));
  lines.push_back(Fit(page.empty() ? L"" : L" [o] abrir la página en el navegador", columns));
  const int panel = 7 + static_cast<int>(status.size());
  for (size_t i = 0; i < model.pageLinks.size(); ++i) {
    if (static_cast<int>(lines.size()) >= rows - panel - 1) break;
    lines.push_back(Fit(L" [" + std::to_wstring(i + 1) + L"] " + model.pageLinks[i].text, columns));
  }
  // The page area takes what the bottom panel leaves.
  while (static_cast<int>(lines.size()) < rows - panel) lines.push_back(Fit(L"", columns));
  if (!model.message.empty()) lines.back() = Fit(L" " + model.message, columns);
  lines.push_back(rule);
  for (const std::wstring& line : status) lines.push_back(Fit(L" " + line, columns));
  std::wstring folder;
  if (model.folderField) folder = L" Carpeta: " + model.folderText;
  lines.push_back(model.folderPicture ? LeftRight(folder, L"  [f] elegir carpeta ", columns)
                                      : Fit(folder, columns));
  lines.push_back(Fit(L" " + model.detailLine, columns));
  lines.push_back(model.progressBar ? Fit(ProgressBar(model.progress, columns), columns)
                                    : Fit(L"", columns));
  lines.push_back(Fit(L"", columns));
  lines.push_back(LeftRight(L" " + ActionHint(model), model.versionLabel + L" ", columns));
  lines.push_back(Fit(L"", columns));
  return lines;
}

std::string AbsoluteFolder(const std::string& typed, const std::string& home,
                           const std::string& current) {
  if (typed.empty() || typed[0] == '/') return typed;
  if (typed == "~") return home;
  if (typed.compare(0, 2, "~/") == 0) return home + typed.substr(1);
  if (current.empty() || current.back() == '/') return current + typed;
  return current + "/" + typed;
}

uint32_t KeyCommand(const ScreenModel& model, int key) {
  switch (key) {
    case 'q':
    case 'Q':
    case 'x':
    case 'X':
    case kEscape:
      return UI_CLOSE;
    case 'h':
    case 'H':
    case '?':
      return UI_HELP;
    case 'i':
    case 'I':
      return model.startPicture ? uint32_t{UI_START} : 0u;
    case 'c':
    case 'C':
      return model.continuePicture ? uint32_t{UI_CONTINUE} : 0u;
    case 'p':
    case 'P':
      return model.pausePicture ? uint32_t{UI_PAUSE} : 0u;
    case 'f':
    case 'F':
      return model.folderPicture ? uint32_t{UI_CHOOSE_FOLDER} : 0u;
    case '\n':
    case '\r':
      if (model.startPicture) return UI_START;
      if (model.continuePicture) return UI_CONTINUE;
      if (model.pausePicture) return UI_PAUSE;
      return 0;
    default:
      if (key >= '1' && key <= '9' && static_cast<size_t>(key - '1') < model.pageLinks.size()) {
        return model.pageLinks[static_cast<size_t>(key - '1')].command;
      }
      return 0;
  }
}
