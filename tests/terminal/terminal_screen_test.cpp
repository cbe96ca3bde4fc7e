#include "ui/terminal/terminal_screen.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/sandbox.h"
#include "ui/terminal/terminal_view.h"
#include "ui/ui_commands.h"

namespace {

TEST(TerminalScreenTest, KeysPostWhatTheVisiblePictureWould) {
  ScreenModel model;
  EXPECT_EQ(KeyCommand(model, 'q'), UI_CLOSE);
  EXPECT_EQ(KeyCommand(model, 27), UI_CLOSE);
  EXPECT_EQ(KeyCommand(model, '?'), UI_HELP);
  // Hidden pictures take no keys.
  for (int key : {'i', 'c', 'p', 'f', '\r', 'z'}) EXPECT_EQ(KeyCommand(model, key), 0u) << key;

  model.startPicture = model.folderPicture = true;
  EXPECT_EQ(KeyCommand(model, 'i'), UI_START);
  EXPECT_EQ(KeyCommand(model, '\r'), UI_START);
  EXPECT_EQ(KeyCommand(model, 'f'), UI_CHOOSE_FOLDER);
  EXPECT_EQ(KeyCommand(model, 'p'), 0u);

  model = {};
  model.pausePicture = true;
  EXPECT_EQ(KeyCommand(model, '\n'), UI_PAUSE);
  EXPECT_EQ(KeyCommand(model, 'c'), 0u);
  model.pausePicture = false;
  model.continuePicture = true;
  EXPECT_EQ(KeyCommand(model, 'c'), UI_CONTINUE);
}

// Each letter key in both cases, with every picture hidden and shown.
TEST(TerminalScreenTest, LetterKeysInBothCases) {
  ScreenModel shown;
  shown.startPicture = shown.continuePicture = shown.pausePicture = shown.folderPicture = true;
  const struct {
    char key;
    uint32_t hidden;
    uint32_t visible;
  } cases[] = {
      {'q', UI_CLOSE, UI_CLOSE},  {'x', UI_CLOSE, UI_CLOSE},
      {'h', UI_HELP, UI_HELP},    {'i', 0, UI_START},
      {'c', 0, UI_CONTINUE},      {'p', 0, UI_PAUSE},
      {'f', 0, UI_CHOOSE_FOLDER}, {'z', 0, 0},
  };
  for (const auto& c : cases) {
    for (const int key : {int{c.key}, c.key - 'a' + 'A'}) {
      EXPECT_EQ(KeyCommand(ScreenModel{}, key), c.hidden) << static_cast<char>(key);
      EXPECT_EQ(KeyCommand(shown, key), c.visible) << static_cast<char>(key);
    }
  }
}

// The view without a terminal prints a line only when its text changes, and
// while downloading at most one a second.
TEST(TerminalScreenTest, LineViewPrintsChangesOnly) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("out.txt");
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(saved, 0);
  ASSERT_GE(file, 0);
  dup2(file, STDOUT_FILENO);
  close(file);
  // Views live as long as the process; this one is left as well.
  MainView* view = CreateLineView();
  view->CreateStatusControls();
  view->SetLabelText(ViewLabel::StatusLine, L"presiona INICIAR!");
  view->SetLabelText(ViewLabel::StatusLine, L"presiona INICIAR!");
  view->SetLabelText(ViewLabel::DetailLine, L"");
  view->ShowOrHide(ViewControl::ProgressBar, true);
  view->SetLabelText(ViewLabel::StatusLine, L"Descargando... 1 MB");
  view->SetLabelText(ViewLabel::StatusLine, L"Descargando... 2 MB");
  view->ShowOrHide(ViewControl::ProgressBar, false);
  view->SetLabelText(ViewLabel::StatusLine, L"Error: Sin acceso");
  view->SetLabelText(ViewLabel::StatusLine, L"Error: Sin acceso");
  view->SetLabelText(ViewLabel::DetailLine, L"ñandú");
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  EXPECT_EQ(sandbox.Read("out.txt"),
            "Tovi Downloader 2.1\n"
            "estado: presiona INICIAR!\n"
            "estado: Descargando... 1 MB\n"
            "estado: Error: Sin acceso\n"
            "detalle: ñandú\n");
}

TEST(TerminalScreenTest, PageTitleAndAppLinksBecomeKeys) {
  const PageSummary summary = SummarizePage(
      "<html><head><TITLE>Tovi -\n Bienvenido</TITLE></head><body>"
      "<a href=\"http://example.invalid/\">web</a>"
      "<p><a href=\"app:100\">Comenzar <b>la</b> descarga</a></p>"
      "<a href='APP: 999'>Cerrar</a><a href=app:700>build</a><a href=app:110x></a>"
      "<a href=\"appx:1\">no</a><a href=app:202>progress</a>");
  EXPECT_EQ(summary.title, L"Tovi -  Bienvenido");
  ASSERT_EQ(summary.links.size(), 3u);
  EXPECT_EQ(summary.links[0].command, 100u);
  EXPECT_EQ(summary.links[0].text, L"Comenzar la descarga");
  EXPECT_EQ(summary.links[1].command, 999u);
  // The program's own commands are no links: a page cannot send them.
  EXPECT_EQ(summary.links[2].command, 110u);
  EXPECT_EQ(summary.links[2].text, L"app:110x");
  EXPECT_TRUE(SummarizePage("<title>unterminated").title.empty());

  ScreenModel model;
  model.pageLinks = summary.links;
  EXPECT_EQ(KeyCommand(model, '1'), UI_START);
  EXPECT_EQ(KeyCommand(model, '2'), UI_CLOSE);
  EXPECT_EQ(KeyCommand(model, '4'), 0u);
  model.pageAddress = "http://127.0.0.1:8101/tovi/parte1";
  model.pageTitle = summary.title;
  const auto lines = ComposeScreen(model, 80, 24);
  EXPECT_NE(lines[2].find(L"Tovi -  Bienvenido"), std::wstring::npos);
  EXPECT_NE(lines[4].find(L"[1] Comenzar la descarga"), std::wstring::npos);
}

TEST(TerminalScreenTest, EveryRowFillsTheWidthAtAnySize) {
  ScreenModel model;
  model.built = model.progressBar = model.folderField = model.folderPicture = true;
  model.pausePicture = true;
  model.progress = 37;
  model.statusLine = std::wstring(300, L'x');
  model.folderText = L"/home/ñandú/Escritorio/ToviSetup/";
  model.versionLabel = L"2.1 (29:0)";
  model.pageAddress = "http://127.0.0.1:8101/tovi/parte2";
  for (uint32_t i = 0; i < 9; ++i) model.pageLinks.push_back({i, std::wstring(100, L'l')});
  for (auto [columns, rows] :
       {std::pair{80, 24}, {60, 16}, {200, 60}, {59, 30}, {80, 15}, {1, 1}}) {
    const auto lines = ComposeScreen(model, columns, rows);
    ASSERT_EQ(lines.size(), static_cast<size_t>(rows)) << columns << "x" << rows;
    for (const auto& line : lines) EXPECT_EQ(line.size(), static_cast<size_t>(columns));
  }
  const auto small = ComposeScreen(model, 59, 30);
  EXPECT_NE(small[0].find(L"demasiado pequeña"), std::wstring::npos);

  const auto lines = ComposeScreen(model, 80, 24);
  EXPECT_NE(lines[2].find(L"/tovi/parte2"), std::wstring::npos);
  EXPECT_NE(lines[20].find(L"37 %"), std::wstring::npos);
  EXPECT_NE(lines[18].find(L"[f] elegir carpeta"), std::wstring::npos);
  EXPECT_NE(lines[22].find(L"PAUSAR"), std::wstring::npos);
  EXPECT_NE(lines[22].find(L"2.1 (29:0)"), std::wstring::npos);
}

// The failure texts end in the support address: at 80 columns the user must
// still read every word, however long the status is.
TEST(TerminalScreenTest, LongStatusIsWrappedWhole) {
  ScreenModel model;
  model.built = true;
  model.statusLine =
      L"Se ha producido un error en la descarga. Verifica el estado de tu conexión a internet y "
      L"el espacio en disco. Cierra el downloader y reinicia desde el icono en el escritorio. "
      L"Soporte: http://127.0.0.1:8101/";
  for (auto [columns, rows] : {std::pair{80, 24}, {60, 16}, {120, 40}}) {
    const auto lines = ComposeScreen(model, columns, rows);
    ASSERT_EQ(lines.size(), static_cast<size_t>(rows));
    // The screen's words in order, one blank between them: the whole status
    // is among them, none of its words cut at the edge.
    std::wstring shown;
    for (const auto& line : lines) shown += line + L" ";
    std::wstring words;
    for (wchar_t c : shown) {
      if (c != L' ' || (!words.empty() && words.back() != L' ')) words += c;
    }
    EXPECT_NE(words.find(model.statusLine), std::wstring::npos) << columns << "x" << rows;
    // The rows below the status stay where they are.
    EXPECT_NE(lines[static_cast<size_t>(rows - 7)].find(L"8101/"), std::wstring::npos) << columns;
  }
}

TEST(TerminalScreenTest, TypedFolderBecomesAbsolute) {
  const struct {
    const char* typed;
    const char* absolute;
  } cases[] = {
      {"/srv/juegos/", "/srv/juegos/"},
      {"~", "/home/ana"},
      {"~/Juegos", "/home/ana/Juegos"},
      {"Juegos/Tovi", "/tmp/aqui/Juegos/Tovi"},
      {"./x", "/tmp/aqui/./x"},
      {"~ana", "/tmp/aqui/~ana"},  // another user's home is not looked up
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AbsoluteFolder(c.typed, "/home/ana", "/tmp/aqui"), c.absolute) << c.typed;
  }
  EXPECT_EQ(AbsoluteFolder("x", "/home/ana", "/"), "/x");
}

TEST(TerminalScreenTest, ProgressBarBounds) {
  ScreenModel model;
  model.progressBar = true;
  for (int percent : {-5, 0, 100, 130}) {
    model.progress = percent;
    const auto lines = ComposeScreen(model, 60, 16);
    const std::wstring& bar = lines[12];
    const size_t hashes = static_cast<size_t>(std::count(bar.begin(), bar.end(), L'#'));
    EXPECT_EQ(hashes == 0, percent <= 0) << percent;
    EXPECT_EQ(bar.find(L'.') == std::wstring::npos, percent >= 100) << percent;
  }
}

}  // namespace
