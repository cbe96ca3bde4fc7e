// TLS settings that depend on the platform's TLS library (Schannel on
// Windows, OpenSSL elsewhere).
#pragma once

#include <curl/curl.h>

// Applies them to a handle that verifies peers (web_schemes.h).
// trustFileGiven: the caller named the certificates to trust (tests) instead
// of the system's. False when libcurl refuses a setting; the handle must not
// be used then.
[[nodiscard]] bool ApplyPlatformTlsOptions(CURL* curl, bool trustFileGiven);
