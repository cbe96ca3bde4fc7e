// The main window as the program makes it, under a real window system: the
// skin's pictures and messages, the browser control's container as the
// control itself calls it, and the page reload.
#include <windows.h>
// windows.h first
#include <exdisp.h>
#include <gtest/gtest.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <shobjidl.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "browser/browser_window.h"
#include "browser/container_site.h"
#include "browser/open_as_user.h"
#include "browser/skin.h"
#include "browser/skin_layout.h"
#include "browser/skin_view.h"
#include "browser/taskbar_button_win.h"
#include "browser/window_placement.h"
#include "platform/narrow_text.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "platform/window_messages.h"
#include "support/sandbox.h"
#include "ui/ui_commands.h"

namespace {

const wchar_t kClassName[] = L"Q9Browser0029";

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    windowObject = new Q9BrowserWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
    TheBrowserWindow = windowObject;
    ASSERT_TRUE(windowObject->CreateMainWindow());
  }

  static HWND Main() { return static_cast<HWND>(TheMainWindow.load()); }

  // The UI commands posted to the main window so far, in order; other
  // messages are dispatched.
  static std::vector<uint32_t> TakePostedCommands() {
    std::vector<uint32_t> commands;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_UI_COMMAND) {
        EXPECT_EQ(message.hwnd, Main());
        EXPECT_EQ(message.lParam, 0);
        commands.push_back(static_cast<uint32_t>(message.wParam));
      } else {
        DispatchMessageW(&message);
      }
    }
    return commands;
  }

  // The control's client site, asked of the control as the container gave
  // it: the browser object is the record's first field.
  static IOleClientSite* ClientSite() {
    auto* record = reinterpret_cast<IOleObject**>(GetWindowLongPtrW(Main(), GWLP_USERDATA));
    if (record == nullptr) return nullptr;
    IOleClientSite* site = nullptr;
    if (FAILED((*record)->GetClientSite(&site))) return nullptr;
    return site;
  }

  static HWND PictureAt(int x, int y) {
    HWND found = nullptr;
    for (HWND child = GetWindow(Main(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      RECT rect;
      GetWindowRect(child, &rect);
      MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&rect), 2);
      wchar_t name[32] = {};
      GetClassNameW(child, name, 32);
      if (rect.left == x && rect.top == y && lstrcmpiW(name, L"Static") == 0) found = child;
    }
    return found;
  }

  static Q9BrowserWindow* windowObject;
};
Q9BrowserWindow* MainWindowTest::windowObject = nullptr;

SIZE BitmapSize(HWND picture) {
  auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return {info.bmWidth, info.bmHeight};
}

TEST_F(MainWindowTest, WindowIsCentredCaptionlessAndCarriesItsPictures) {
  HWND window = Main();
  EXPECT_TRUE(windowObject->CreateMainWindow());
  EXPECT_EQ(Main(), window) << "a second call creates nothing";
  EXPECT_EQ(FindWindowW(kClassName, nullptr), window);
  EXPECT_FALSE(IsWindowVisible(window)) << "created hidden";
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Tovi Downloader 2.1");
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CAPTION | WS_DLGFRAME), WS_DLGFRAME);

  RECT area, placed;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
  GetWindowRect(window, &placed);
  const WindowBox box = PlaceInWorkArea(area.right, area.bottom, GetSystemMetrics(SM_CXEDGE),
                                        GetSystemMetrics(SM_CXDLGFRAME));
  EXPECT_EQ(placed.left, box.x);
  EXPECT_EQ(placed.top, box.y);
  EXPECT_EQ(placed.right - placed.left, box.width);
  EXPECT_EQ(placed.bottom - placed.top, box.height);

  struct {
    ControlPlace place;
    SIZE bitmap;
  } const pictures[] = {{kBannerPlace, {760, 116}},
                        {kClosePlace, {25, 23}},
                        {kHelpPlace, {25, 23}},
                        {kActionPlace, {200, 64}},
                        {kFolderPicturePlace, {25, 23}}};
  for (const auto& picture : pictures) {
    HWND control = PictureAt(picture.place.x, picture.place.y);
    ASSERT_NE(control, nullptr) << picture.place.x << "," << picture.place.y;
    const SIZE size = BitmapSize(control);
    EXPECT_EQ(size.cx, picture.bitmap.cx) << picture.place.x << "," << picture.place.y;
    EXPECT_EQ(size.cy, picture.bitmap.cy) << picture.place.x << "," << picture.place.y;
  }
  EXPECT_NE(GetWindowLongPtrW(window, GWLP_USERDATA), 0) << "browser control embedded";
}

TEST_F(MainWindowTest, ContainerAnswersTheControlSlotBySlot) {
  IOleClientSite* client = ClientSite();
  ASSERT_NE(client, nullptr);
  IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
  EXPECT_EQ(client->GetContainer(&container), E_NOINTERFACE);
  EXPECT_EQ(container, nullptr);
  EXPECT_EQ(client->ShowObject(), S_OK);
  EXPECT_EQ(client->SaveObject(), E_NOTIMPL);
  EXPECT_EQ(client->AddRef(), 1u);
  EXPECT_EQ(client->Release(), 1u);

  IOleInPlaceSite* inPlace = nullptr;
  ASSERT_EQ(client->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)), S_OK);
  HWND window = nullptr;
  EXPECT_EQ(inPlace->GetWindow(&window), S_OK);
  EXPECT_EQ(window, Main());
  EXPECT_EQ(inPlace->CanInPlaceActivate(), S_OK);
  EXPECT_EQ(inPlace->Scroll(SIZE{1, 1}), E_NOTIMPL);
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  RECT position{}, clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.fMDIApp = TRUE;
  frameInfo.cAccelEntries = 7;
  ASSERT_EQ(inPlace->GetWindowContext(&frame, &document, &position, &clip, &frameInfo), S_OK);
  EXPECT_EQ(document, nullptr);
  EXPECT_FALSE(frameInfo.fMDIApp);
  EXPECT_EQ(frameInfo.hwndFrame, Main());
  EXPECT_EQ(frameInfo.haccel, nullptr);
  EXPECT_EQ(frameInfo.cAccelEntries, 0u);
  ASSERT_NE(frame, nullptr);
  window = nullptr;
  EXPECT_EQ(frame->GetWindow(&window), S_OK);
  EXPECT_EQ(window, Main());
  void* unreached = nullptr;
  EXPECT_EQ(frame->QueryInterface(IID_IUnknown, &unreached), E_NOTIMPL);
  EXPECT_EQ(frame->SetStatusText(L"ignored"), S_OK);
  EXPECT_EQ(frame->TranslateAccelerator(nullptr, 0), E_NOTIMPL);

  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(
      inPlace->QueryInterface(__uuidof(IDocHostUIHandler), reinterpret_cast<void**>(&handler)),
      S_OK);
  IUnknown* back = nullptr;
  EXPECT_EQ(handler->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
  EXPECT_EQ(back, client) << "every interface leads back to the client site";
  void* none = &back;
  EXPECT_EQ(handler->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  DOCHOSTUIINFO info{};
  EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.cbSize, 20u);
  EXPECT_EQ(info.dwFlags, 12u);
  EXPECT_EQ(info.dwDoubleClick, 0u);
  EXPECT_EQ(handler->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
  EXPECT_EQ(handler->GetDropTarget(nullptr, nullptr), S_FALSE);
  IDataObject* filtered = reinterpret_cast<IDataObject*>(1);
  EXPECT_EQ(handler->FilterDataObject(nullptr, &filtered), S_FALSE);
  EXPECT_EQ(filtered, nullptr);
  client->Release();
}

TEST_F(MainWindowTest, AppAddressesBecomeCommandsAndShowABlankPage) {
  IOleClientSite* client = ClientSite();
  ASSERT_NE(client, nullptr);
  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(client->QueryInterface(__uuidof(IDocHostUIHandler), reinterpret_cast<void**>(&handler)),
            S_OK);
  TakePostedCommands();
  struct {
    std::wstring address;
    bool translated;
    uint32_t command;
  } const cases[] = {
      {L"APP:103", true, 103},
      {L"app:", true, 0},
      {L"app:abc", true, 0},
      {L"app:  800x", true, 800},
      {L"app:\t100", true, 100},
      {L"appx:1", false, 0},
      {L"app", false, 0},
      {L"ap", false, 0},
      {L"http://x/app:1", false, 0},
      {L"app:4294968295", true, 999},  // wraps as a 32-bit number
      // The program's own commands show the blank page and post nothing.
      {L"app:700", true, 0},
      {L"app:202", true, 0},
      {L"app:12", true, 0},
  };
  for (const auto& c : cases) {
    std::wstring address = c.address;
    wchar_t* out = reinterpret_cast<wchar_t*>(1);
    const HRESULT result = handler->TranslateUrl(0, address.data(), &out);
    const std::vector<uint32_t> posted = TakePostedCommands();
    if (c.translated) {
      EXPECT_EQ(result, S_OK) << address;
      ASSERT_NE(out, nullptr);
      EXPECT_STREQ(out, L"about:blank");
      CoTaskMemFree(out);
      if (c.command == 0) {
        EXPECT_TRUE(posted.empty()) << address;
      } else {
        EXPECT_EQ(posted, std::vector<uint32_t>{c.command}) << address;
      }
    } else {
      EXPECT_EQ(result, S_FALSE) << address;
      EXPECT_EQ(out, nullptr) << address;
      EXPECT_TRUE(posted.empty()) << address;
    }
  }
  client->Release();
}

// Alt+F4 and the taskbar's close ask the close question like the close
// picture: the window stays, the controller gets UI_CLOSE.
TEST_F(MainWindowTest, CloseMessageBecomesTheCloseCommand) {
  TakePostedCommands();
  SendMessageW(Main(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(Main()));
  EXPECT_EQ(TakePostedCommands(), std::vector<uint32_t>{UI_CLOSE});
}

// The help address goes to the user's own shell where there is one (there
// is none under Wine, which opens it directly): either way it opens. A
// program stands in for the address, leaving a mark when it runs.
TEST_F(MainWindowTest, HelpAddressOpens) {
  Sandbox sandbox;
  const std::string program = sandbox.Path("help.exe");
  std::filesystem::copy_file(TOVI_FAKE_SETUP_PATH, program);
  OpenAsUser(WidenText(program));
  const uint32_t start = TickCount();
  while (!std::filesystem::exists(program + ".ran") && TickCount() - start < 20000) {
    WaitWithMessagePump(50);
  }
  EXPECT_TRUE(std::filesystem::exists(program + ".ran"));
  // The program ends at once; its file is free again shortly after.
  while (!std::filesystem::remove(program + ".ran") && TickCount() - start < 30000) SleepMs(50);
  std::error_code error;
  while (!std::filesystem::remove(program, error) && TickCount() - start < 30000) SleepMs(50);
}

TEST_F(MainWindowTest, ExternalObjectRequestStopsTheReloadAtTheNextTick) {
  windowObject->LoadPage(L"about:blank");
  EXPECT_TRUE(windowObject->RefreshTimer().IsRunning());
  EXPECT_EQ(windowObject->RefreshTimer().TickCount(), 0u);
  EXPECT_FALSE(windowObject->ReloadStopped());

  IOleClientSite* client = ClientSite();
  ASSERT_NE(client, nullptr);
  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(client->QueryInterface(__uuidof(IDocHostUIHandler), reinterpret_cast<void**>(&handler)),
            S_OK);
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(handler->GetExternal(&external), S_FALSE);
  EXPECT_EQ(external, nullptr);
  client->Release();
  EXPECT_FALSE(windowObject->ReloadStopped()) << "posted, not sent";
  TakePostedCommands();
  EXPECT_TRUE(windowObject->ReloadStopped());

  // A tick while the page has not loaded reloads and keeps the timer.
  windowObject->LoadPage(L"about:blank#second");
  EXPECT_EQ(windowObject->PageUrl(), L"about:blank#second");
  windowObject->ReloadTick();
  EXPECT_TRUE(windowObject->RefreshTimer().IsRunning());
  // Once the page said so, the next tick stops it; the next page restarts it.
  windowObject->StopReload();
  windowObject->ReloadTick();
  EXPECT_FALSE(windowObject->RefreshTimer().IsRunning());
  windowObject->LoadPage(L"about:blank");
  EXPECT_TRUE(windowObject->RefreshTimer().IsRunning());
  EXPECT_FALSE(windowObject->ReloadStopped());
}

TEST_F(MainWindowTest, SkinMessagesSetTheTitleAndTheActionPictures) {
  HWND window = Main();
  wchar_t title[64] = {};
  EXPECT_EQ(SendMessageW(window, WM_SETTITLECOUNT, 3, 4), 0);
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"7");
  SendMessageW(window, WM_SETTITLECOUNT, 5, static_cast<LPARAM>(-5));
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Tovi Downloader 2.1");

  ShowWindow(window, SW_SHOWNORMAL);
  HWND start = static_cast<HWND>(SkinControl(ViewControl::StartPicture));
  HWND pause = static_cast<HWND>(SkinControl(ViewControl::PausePicture));
  ASSERT_NE(start, nullptr);
  ShowActionButton(1, true);
  EXPECT_TRUE(IsWindowVisible(start));
  EXPECT_EQ(SendMessageW(window, WM_SHOWACTIONBUTTON, 4, 0), 0);
  EXPECT_TRUE(IsWindowVisible(start)) << "an unknown picture number changes nothing";
  ShowActionButton(1, false);
  EXPECT_FALSE(IsWindowVisible(start));
  ShowActionButton(3, true);
  EXPECT_TRUE(IsWindowVisible(pause));
  ShowActionButton(3, false);
  ShowWindow(window, SW_HIDE);
}

TEST_F(MainWindowTest, ReleaseIsTestedWhereTheCursorIsNow) {
  HWND window = Main();
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  TakePostedCommands();
  auto releaseAt = [&](int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    // lParam says somewhere else: the cursor position counts.
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    return TakePostedCommands();
  };
  ShowActionButton(1, true);
  ShowActionButton(2, false);
  ShowActionButton(3, true);
  EXPECT_EQ(releaseAt(600, 550), std::vector<uint32_t>{UI_START});
  ShowActionButton(1, false);
  EXPECT_EQ(releaseAt(600, 550), std::vector<uint32_t>{UI_PAUSE});
  EXPECT_EQ(releaseAt(738, 550), std::vector<uint32_t>{});
  EXPECT_EQ(releaseAt(725, 5), std::vector<uint32_t>{UI_CLOSE});
  ShowActionButton(3, false);
  EXPECT_EQ(releaseAt(600, 550), std::vector<uint32_t>{});
  ShowWindow(window, SW_HIDE);
}

TEST_F(MainWindowTest, NestedWaitsLeaveUiCommandsForTheMainLoop) {
  TakePostedCommands();
  PostMessageW(Main(), WM_UI_COMMAND, UI_PAUSE, 0);
  PostMessageW(Main(), WM_SETTITLECOUNT, 3, 4);
  WaitWithMessagePump(30);
  wchar_t title[64] = {};
  GetWindowTextW(Main(), title, 64);
  EXPECT_STREQ(title, L"7") << "other messages are dispatched";
  EXPECT_EQ(TakePostedCommands(), std::vector<uint32_t>{UI_PAUSE});
  SendMessageW(Main(), WM_SETTITLECOUNT, 0, 0);
}

TEST_F(MainWindowTest, UnembedTwiceAndWithoutControlDoesNothing) {
  HWND second = CreateWindowExW(0, kClassName, L"second", WS_POPUP, 0, 0, 760, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(GetWindowLongPtrW(second, GWLP_USERDATA), 0);
  EXPECT_EQ(NavigateBrowser(second, L"about:blank"), 0);
  UnembedBrowser(second);
  EXPECT_EQ(GetWindowLongPtrW(second, GWLP_USERDATA), 0);
  UnembedBrowser(second);
  EXPECT_EQ(NavigateBrowser(second, L"about:blank"), -5);
  ResizeBrowser(second);
  DestroyWindow(second);  // unembeds a third time
  MSG quit;
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
      << "the main window still hosts a control";
}

TEST_F(MainWindowTest, TaskbarButtonTakesTheProgressWhereTheShellOffersIt) {
  // Whether this system has the shell's taskbar interface at all (Wine may
  // or may not): the window takes it exactly when it is there.
  ITaskbarList3* probe = nullptr;
  bool offered = SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_ITaskbarList3, reinterpret_cast<void**>(&probe)));
  if (probe != nullptr) {
    offered = offered && SUCCEEDED(probe->HrInit());
    probe->Release();
  }
  std::printf("taskbar interface offered: %s\n", offered ? "yes" : "no");

  HWND second = CreateWindowExW(0, kClassName, L"second", WS_POPUP, 0, 0, 760, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(second, nullptr);
  // Before the shell announces the button, progress is only kept.
  TheSkinView().SetTaskbarProgress(TaskbarState::Normal, 10);
  EXPECT_FALSE(TaskbarButtonConnected());
  const UINT created = RegisterWindowMessageW(L"TaskbarButtonCreated");
  ASSERT_NE(created, 0u);
  EXPECT_EQ(SendMessageW(second, created, 0, 0), 0);
  EXPECT_EQ(TaskbarButtonConnected(), offered);
  std::printf("taskbar button connected: %s\n", TaskbarButtonConnected() ? "yes" : "no");
  for (TaskbarState state :
       {TaskbarState::Normal, TaskbarState::Paused, TaskbarState::Error, TaskbarState::None}) {
    TheSkinView().SetTaskbarProgress(state, 42);
  }
  // The shell restarted: the button is announced again.
  EXPECT_EQ(SendMessageW(second, created, 0, 0), 0);
  DestroyWindow(second);
  EXPECT_FALSE(TaskbarButtonConnected()) << "released with the window";
  // The window still answers its own messages.
  EXPECT_EQ(SendMessageW(Main(), WM_SETTITLECOUNT, 0, 0), 0);
}

TEST_F(MainWindowTest, EmbedWithoutOleFailsAtTheClassObjectAndKeepsNothing) {
  int result = 0;
  LONG_PTR userData = 1;
  std::thread([&] {
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    result = EmbedBrowser(plain);
    userData = GetWindowLongPtrW(plain, GWLP_USERDATA);
    DestroyWindow(plain);
  }).join();
  EXPECT_EQ(result, -2);
  EXPECT_EQ(userData, 0);
}

}  // namespace
