// The publisher's pages the downloader shows in its window, and the support
// forum page, as plain HTML.
#pragma once

#include <string>

// Page n of the installer host ("/tovi/parte<n>"), n from 1 to 4; empty for
// any other n.
std::string InstallerPage(int n);

// The support forum page ("/polvex_tovi").
std::string ForumPage();
