// TLS settings that depend on the platform's TLS library (Schannel on
// Windows, OpenSSL elsewhere).
#pragma once

#include <curl/curl.h>

// Applies them to a handle that verifies peers (web_schemes.h). False when
// libcurl refuses one; the handle must not be used then.
[[nodiscard]] bool ApplyPlatformTlsOptions(CURL* curl);
