// The browser control's container: client site, in-place site, in-place
// frame and document-host UI handler in one record per hosting window. The
// interfaces are not reference counted; they live exactly as long as the
// record.
#include <windows.h>
// windows.h first
#include <exdisp.h>
#include <mshtmhst.h>
#include <ole2.h>

#include <new>

#include "browser/container_site.h"
#include "ui/app_address.h"
#include "ui/page_commands.h"

// COM interfaces end their objects through Release, never through a
// destructor, and these records are freed with the container.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace {

const wchar_t kWindowClassName[] = L"Q9Browser0029";

struct ContainerSite;

class ClientSite final : public IOleClientSite {
 public:
  ContainerSite* site = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
};

class InPlaceSite final : public IOleInPlaceSite {
 public:
  ContainerSite* site = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT, LPRECT,
                                             LPOLEINPLACEFRAMEINFO frameInfo) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;
};

class InPlaceFrame final : public IOleInPlaceFrame {
 public:
  ContainerSite* site = nullptr;
  // The frame is reached only through the in-place site; it answers no
  // interface requests and leaves the out pointer alone.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return E_NOTIMPL; }
};

class UiHandler final : public IDocHostUIHandler {
 public:
  ContainerSite* site = nullptr;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // Claiming the menu is what keeps the control from showing its own.
  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
    info->cbSize = 20;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                   IOleInPlaceFrame*, IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override {
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget**) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) override;
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR address, LPWSTR* translated) override;
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** result) override {
    *result = nullptr;
    return S_FALSE;
  }
};

// The record, in the order its users rely on: the browser object first, the
// four interfaces, the hosting window between the frame and the UI handler.
struct ContainerSite {
  IOleObject* browserObject = nullptr;
  ClientSite clientSite;
  InPlaceSite inPlaceSite;
  InPlaceFrame inPlaceFrame;
  HWND window = nullptr;
  UiHandler uiHandler;
};

// The client site, the in-place site and the UI handler answer alike, so each
// can be reached from the others. No reference is added.
HRESULT SharedQueryInterface(ContainerSite* site, REFIID riid, void** out) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
    *out = &site->clientSite;
  } else if (IsEqualIID(riid, IID_IOleInPlaceSite)) {
    *out = &site->inPlaceSite;
  } else if (IsEqualIID(riid, __uuidof(IDocHostUIHandler))) {
    *out = &site->uiHandler;
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT ClientSite::QueryInterface(REFIID riid, void** out) {
  return SharedQueryInterface(site, riid, out);
}
HRESULT InPlaceSite::QueryInterface(REFIID riid, void** out) {
  return SharedQueryInterface(site, riid, out);
}
HRESULT UiHandler::QueryInterface(REFIID riid, void** out) {
  return SharedQueryInterface(site, riid, out);
}

HRESULT InPlaceSite::GetWindow(HWND* window) {
  *window = site->window;
  return S_OK;
}

HRESULT InPlaceSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT,
                                      LPRECT, LPOLEINPLACEFRAMEINFO frameInfo) {
  *frame = &site->inPlaceFrame;
  *doc = nullptr;
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = site->window;
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}

HRESULT InPlaceSite::OnPosRectChange(LPCRECT position) {
  IOleInPlaceObject* inPlace = nullptr;
  if (SUCCEEDED(site->browserObject->QueryInterface(IID_IOleInPlaceObject,
                                                    reinterpret_cast<void**>(&inPlace))) &&
      inPlace != nullptr) {
    inPlace->SetObjectRects(position, position);
    inPlace->Release();
  }
  return S_OK;
}

HRESULT InPlaceFrame::GetWindow(HWND* window) {
  *window = site->window;
  return S_OK;
}

HRESULT UiHandler::GetExternal(IDispatch** dispatch) {
  // Asking for the external object means the page has loaded: the periodic
  // reload can stop. The page itself gets nothing.
  if (HWND main = FindWindowW(kWindowClassName, nullptr)) {
    PostMessageW(main, WM_STOPRELOAD, 0, 0);
  }
  *dispatch = nullptr;
  return S_FALSE;
}

HRESULT UiHandler::TranslateUrl(DWORD, LPWSTR address, LPWSTR* translated) {
  uint32_t command = 0;
  if (address != nullptr && ParseAppAddress(address, &command)) {
    static const wchar_t kBlank[] = L"about:blank";
    static_assert(sizeof kBlank == 24);
    if (auto* blank = static_cast<wchar_t*>(CoTaskMemAlloc(sizeof kBlank))) {
      CopyMemory(blank, kBlank, sizeof kBlank);
      // The control shows a blank page instead; the number becomes a command
      // when it is one a user could click.
      *translated = blank;
      if (PageMayPost(command)) PostMessageW(site->window, WM_UI_COMMAND, command, 0);
      return S_OK;
    }
  }
  *translated = nullptr;
  return S_FALSE;
}

ContainerSite* SiteOf(WindowHandle window) {
  return reinterpret_cast<ContainerSite*>(
      GetWindowLongPtrW(static_cast<HWND>(window), GWLP_USERDATA));
}

IWebBrowser2* WebBrowserOf(ContainerSite* site) {
  IWebBrowser2* browser = nullptr;
  if (FAILED(site->browserObject->QueryInterface(IID_IWebBrowser2,
                                                 reinterpret_cast<void**>(&browser)))) {
    return nullptr;
  }
  return browser;
}

void FreeSite(ContainerSite* site) {
  site->~ContainerSite();
  GlobalFree(site);
}

}  // namespace

int EmbedBrowser(WindowHandle handle) {
  HWND window = static_cast<HWND>(handle);
  void* memory = GlobalAlloc(GMEM_FIXED, sizeof(ContainerSite));
  if (memory == nullptr) return -1;
  auto* site = new (memory) ContainerSite;
  site->clientSite.site = site;
  site->inPlaceSite.site = site;
  site->inPlaceFrame.site = site;
  site->uiHandler.site = site;
  site->window = window;

  IClassFactory* factory = nullptr;
  if (FAILED(CoGetClassObject(CLSID_WebBrowser, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      factory == nullptr) {
    FreeSite(site);
    return -2;
  }
  IOleObject* object = nullptr;
  const HRESULT created =
      factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&object));
  factory->Release();
  if (FAILED(created) || object == nullptr) {
    FreeSite(site);
    return -3;
  }
  site->browserObject = object;
  // The pointer does not fit the 32-bit user data of a 64-bit window.
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site));

  if (FAILED(object->SetClientSite(&site->clientSite))) {
    UnembedBrowser(window);
    return -4;
  }
  object->SetHostNames(L"My Host Name", nullptr);
  RECT client;
  GetClientRect(window, &client);
  if (FAILED(OleSetContainedObject(object, TRUE)) ||
      FAILED(object->DoVerb(OLEIVERB_SHOW, nullptr, &site->clientSite, -1, window, &client))) {
    UnembedBrowser(window);
    return -4;
  }
  IWebBrowser2* browser = WebBrowserOf(site);
  if (browser == nullptr) {
    UnembedBrowser(window);
    return -4;
  }
  // The control starts below the banner.
  constexpr long kBannerHeight = 116;
  browser->put_Left(0);
  browser->put_Top(kBannerHeight);
  browser->put_Width(client.right);
  browser->put_Height(client.bottom - kBannerHeight);
  browser->Release();
  return 0;
}

void UnembedBrowser(WindowHandle handle) {
  ContainerSite* site = SiteOf(handle);
  if (site == nullptr) return;
  // Cleared first, so that a second call finds nothing.
  SetWindowLongPtrW(static_cast<HWND>(handle), GWLP_USERDATA, 0);
  site->browserObject->Close(OLECLOSE_NOSAVE);
  site->browserObject->Release();
  FreeSite(site);
}

int NavigateBrowser(WindowHandle window, const std::wstring& address) {
  ContainerSite* site = SiteOf(window);
  if (site == nullptr) return -5;
  IWebBrowser2* browser = WebBrowserOf(site);
  if (browser == nullptr) return -5;
  VARIANT url;
  VariantInit(&url);
  url.vt = VT_BSTR;
  url.bstrVal = SysAllocString(address.c_str());
  if (url.bstrVal == nullptr) {
    browser->Release();
    return -6;
  }
  browser->Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
  VariantClear(&url);
  browser->Release();
  return 0;
}

void ResizeBrowser(WindowHandle window) {
  ContainerSite* site = SiteOf(window);
  if (site == nullptr) return;
  if (IWebBrowser2* browser = WebBrowserOf(site)) {
    browser->put_Width(760);
    browser->put_Height(380);
    browser->Release();
  }
}
