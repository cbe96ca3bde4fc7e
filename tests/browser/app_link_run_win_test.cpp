// A page link to app:100, handed to the browser control's container as the
// control hands it a navigation, starts the download as INICIAR does: the
// real window, controller and workflow against the fixture's tovi-server.
#include <windows.h>
// windows.h first
#include <gtest/gtest.h>
#include <mshtmhst.h>
#include <ole2.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "browser/browser_window.h"
#include "browser/skin.h"
#include "browser/skin_view.h"
#include "platform/desktop_path.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/narrow_text.h"
#include "platform/process_command_line.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "platform/window_messages.h"
#include "support/fixture_server_url.h"
#include "support/sandbox.h"
#include "ui/status_channel.h"
#include "ui/ui_commands.h"
#include "ui/ui_controller.h"
#include "ui/ui_state.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/stats_settings.h"
#include "workflow/workflow_driver.h"

namespace {
[[noreturn]] void ExitNow() { ExitImmediately(); }
// The world the program hands its controller.
const UiControllerWorld kProgramWorld = {GetDesktopPath, GetShortcutPath, OpenShortcut, ExitNow};

// The server's copy of a part, reached through Wine's drive Z:.
std::string ServerPart(const std::string& name) {
  std::string path = std::string("Z:") + std::getenv("TOVI_TEST_SERVER_DIR") + "/parts/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return ReadFileBytes(path);
}

// Hands "app:100" to the container's UI handler, reached from the control's
// client site as the control reaches it.
bool FollowPageLink(const wchar_t* link) {
  HWND main = static_cast<HWND>(TheMainWindow.load());
  auto* record = reinterpret_cast<IOleObject**>(GetWindowLongPtrW(main, GWLP_USERDATA));
  if (record == nullptr) return false;
  IOleClientSite* client = nullptr;
  if (FAILED((*record)->GetClientSite(&client)) || client == nullptr) return false;
  IDocHostUIHandler* handler = nullptr;
  const bool found = SUCCEEDED(
      client->QueryInterface(__uuidof(IDocHostUIHandler), reinterpret_cast<void**>(&handler)));
  bool translated = false;
  if (found) {
    std::wstring address = link;
    wchar_t* shown = nullptr;
    translated = handler->TranslateUrl(0, address.data(), &shown) == S_OK;
    CoTaskMemFree(shown);
  }
  client->Release();
  return translated;
}

TEST(AppLinkRunTest, AppOneHundredStartsTheDownloadAsIniciarWould) {
  const std::string baseUrl = FixtureBaseUrl();
  ASSERT_FALSE(baseUrl.empty()) << "no tovi_server fixture (TOVI_TEST_SERVER_DIR/address)";
  ASSERT_FALSE(FileExists(GetShortcutPath())) << "a shortcut would reopen a download";
  SetStatsBaseUrlForTesting(baseUrl);
  Sandbox sandbox;
  SetLogPath(sandbox.Path("log.txt"));
  VerboseLogging = true;
  OpenLog();
  SetProcessCommandLine("ToviDownloader.exe");

  ASSERT_EQ(OleInitialize(nullptr), S_OK);
  auto* window = new Q9BrowserWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
  TheBrowserWindow = window;
  ASSERT_TRUE(window->CreateMainWindow());
  TheMainView = &TheSkinView();
  SetUiControllerWorld(&kProgramWorld);

  std::atomic<bool> finished{false};
  std::thread program([&] {
    ShowStatus(500, L"", UI_BUILD, 0);
    RunWorkflow();
    finished = true;
  });

  // The main loop's work: UI commands to the controller, the rest dispatched.
  bool linkFollowed = false;
  uint32_t awaitingSince = 0;
  bool sawDownloading = false;
  const uint32_t start = TickCount();
  while (!finished && TickCount() - start < 120000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 25, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_UI_COMMAND) {
        HandleUiCommand(static_cast<uint32_t>(message.wParam),
                        static_cast<uint32_t>(message.lParam));
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    HWND startPicture = static_cast<HWND>(SkinControl(ViewControl::StartPicture));
    if (awaitingSince == 0 && TheUiState.StatusText() == L"presiona INICIAR!" &&
        IsWindowVisible(startPicture)) {
      awaitingSince = TickCount();
    }
    // A user takes a moment; the driver clears the signal right after its
    // prompt, so a click within those milliseconds would be lost.
    if (!linkFollowed && awaitingSince != 0 && TickCount() - awaitingSince > 500) {
      ASSERT_TRUE(FollowPageLink(L"app:100"));
      linkFollowed = true;
    }
    if (TheUiState.StatusText() == L"Descargando...") sawDownloading = true;
  }
  program.detach();  // it has ended, or the test fails below anyway
  ASSERT_TRUE(linkFollowed) << "never awaited the start";
  ASSERT_TRUE(finished) << "the run did not end; status: " << NarrowText(TheUiState.StatusText())
                        << "\nlog:\n"
                        << ReadFileBytes(sandbox.Path("log.txt"));
  EXPECT_TRUE(sawDownloading);

  const std::string folder = TheUiState.DownloadFolder();
  for (const char* name : {"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"}) {
    const std::string expected = ServerPart(name);
    ASSERT_FALSE(expected.empty()) << name;
    EXPECT_TRUE(ReadFileBytes(folder + name) == expected) << name;
  }
  EXPECT_TRUE(FileExists(folder + "ToviSetup.exe.ran")) << "the setup program was started";
}

}  // namespace
