// What the terminal shows of a page: its title and its "app:" links, each
// with the command the embedded browser would post for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PageLink {
  uint32_t command;
  std::wstring text;
};

struct PageSummary {
  std::wstring title;
  std::vector<PageLink> links;
};

// Reads the title and the app: links out of an HTML page (UTF-8). Tags
// inside a link's text are dropped; at most nine links are kept.
PageSummary SummarizePage(const std::string& html);

// Fetches the page on a worker thread of its own (the terminal's stand-in
// for the browser control's own fetching) and posts the summary to window
// as WM_PAGE_SUMMARY, with a PageSummary* the receiver takes over as wParam
// and the serial as lParam. Nothing is posted when the page cannot be had.
inline constexpr uint32_t WM_PAGE_SUMMARY = 0x0400 + 60;
void FetchPageSummary(const std::string& address, void* window, intptr_t serial);
