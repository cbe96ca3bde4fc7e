// The container that hosts the system web-browser control in a window
// (Windows). One ContainerSite per hosting window, kept as the window's user
// data from a successful EmbedBrowser to UnembedBrowser. Main thread only:
// the control is an apartment-threaded object of the thread that made it.
#pragma once

#include <string>

#include "platform/window_messages.h"

// Told by the page host when a loaded page asks for the external object.
inline constexpr uint32_t WM_STOPRELOAD = 0x0400 + 53;

// 0 on success; -1 the record could not be allocated, -2 no class object
// for the control, -3 the control could not be made, -4 a later step failed
// (the control is removed again). On failure nothing stays allocated.
[[nodiscard]] int EmbedBrowser(WindowHandle window);

// Closes and releases the control and frees the record. A second call, or a
// call on a window without a control, does nothing.
void UnembedBrowser(WindowHandle window);

// 0 on success (the navigation itself is not checked); -5 no control or no
// IWebBrowser2, -6 the address could not be copied.
int NavigateBrowser(WindowHandle window, const std::wstring& address);

// Sets the control to 760 by 380, leaving its place below the banner.
void ResizeBrowser(WindowHandle window);
