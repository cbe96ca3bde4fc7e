// The schemes a download may use: HTTP, and HTTPS with the server's
// certificate and host name verified (parts hosted on a CDN usually come
// over HTTPS).
#pragma once

#include <curl/curl.h>

#include <string>

// Allows libcurl HTTP and, where it is built with TLS, HTTPS, for the first
// request and for every redirect, and verifies every certificate and host
// name. Any other scheme stays refused. False when libcurl refuses the
// setting; the handle must not be used then.
[[nodiscard]] bool LimitToWebWithVerification(CURL* curl);

// Trust the certificates in this PEM file instead of the system's (tests;
// empty: the system's again). With Schannel, libcurl then checks the chain
// and the name itself, and matches DNS names only, not IP addresses.
void SetTrustedCertificatesForTesting(const std::string& pemFile);
