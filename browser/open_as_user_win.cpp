// clang-format off
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlguid.h>
// clang-format on

#include "browser/open_as_user.h"

namespace {

template <typename T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p != nullptr) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

// The usual way an elevated program reaches the desktop's shell: the shell
// windows list names the desktop, its browser gives the active view, whose
// background object's application is the shell's dispatch interface.
bool OpenThroughDesktopShell(const std::wstring& address) {
  ComRelease<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(&windows.p)))) {
    return false;
  }
  VARIANT desktop;
  VariantInit(&desktop);
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT empty;
  VariantInit(&empty);
  long window = 0;
  ComRelease<IDispatch> found;
  if (windows->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &found.p) !=
          S_OK ||
      !found) {
    return false;
  }
  ComRelease<IServiceProvider> services;
  ComRelease<IShellBrowser> browser;
  ComRelease<IShellView> view;
  ComRelease<IDispatch> background;
  ComRelease<IShellFolderViewDual> folderView;
  ComRelease<IDispatch> application;
  ComRelease<IShellDispatch2> shell;
  if (FAILED(found->QueryInterface(IID_PPV_ARGS(&services.p))) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser.p))) ||
      FAILED(browser->QueryActiveShellView(&view.p)) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background.p))) ||
      FAILED(background->QueryInterface(IID_PPV_ARGS(&folderView.p))) ||
      FAILED(folderView->get_Application(&application.p)) ||
      FAILED(application->QueryInterface(IID_PPV_ARGS(&shell.p)))) {
    return false;
  }
  BSTR file = SysAllocString(address.c_str());
  if (file == nullptr) return false;
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  const HRESULT result = shell->ShellExecute(file, empty, empty, empty, show);
  SysFreeString(file);
  return SUCCEEDED(result);
}

}  // namespace

void OpenAsUser(const std::wstring& address) {
  if (OpenThroughDesktopShell(address)) return;
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
