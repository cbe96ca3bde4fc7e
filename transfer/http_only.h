// The statistics requests and the pages are plain HTTP (downloads also take
// verified HTTPS: web_schemes.h).
#pragma once

#include <curl/curl.h>

// Allows libcurl only HTTP, for the first request and for every redirect: a
// URL from a server must never read a local file or reach another kind of
// service. False when libcurl refuses the setting; the handle must not be
// used then.
[[nodiscard]] bool LimitToHttp(CURL* curl);
