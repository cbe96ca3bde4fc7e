#include "ui/terminal/terminal_screen.h"

#include <gtest/gtest.h>

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
