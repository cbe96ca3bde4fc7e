/* A stand-in for a system DLL that someone has put beside the program under
 * that DLL's name. Loading it leaves a trace: "<file name>.loaded" beside it.
 * Its functions are harmless stubs under the names the program imports, so a
 * program that does load it still starts and runs on. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    /* "...\name.dll" becomes "...\name.loaded". */
    if (length > 4 && length < MAX_PATH) {
      const WCHAR suffix[] = L".loaded";
      for (DWORD i = 0; i < sizeof suffix / sizeof suffix[0]; ++i) path[length - 4 + i] = suffix[i];
      HANDLE trace =
          CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (trace != INVALID_HANDLE_VALUE) CloseHandle(trace);
    }
  }
  return TRUE;
}

/* uxtheme.dll */
__declspec(dllexport) HRESULT WINAPI SetWindowTheme(HWND window, LPCWSTR app, LPCWSTR ids) {
  (void)window;
  (void)app;
  (void)ids;
  return S_OK;
}

/* iphlpapi.dll: no adapters. */
__declspec(dllexport) DWORD WINAPI GetAdaptersInfo(void* info, ULONG* size) {
  (void)info;
  (void)size;
  return ERROR_NO_DATA;
}

/* comctl32.dll */
__declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void* controls) {
  (void)controls;
  return TRUE;
}
