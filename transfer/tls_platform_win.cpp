// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <string>

#include "transfer/tls_platform.h"

namespace {

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The certificates of the system's root store as PEM text; empty when the
// store cannot be read or holds none.
std::string SystemRootsAsPem() {
  HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
  if (store == nullptr) return {};
  std::string pem;
  PCCERT_CONTEXT cert = nullptr;
  while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr) {
    DWORD size = 0;
    if (!CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER,
                              nullptr, &size)) {
      continue;
    }
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(cert->pbCertEncoded, cert->cbCertEncoded, CRYPT_STRING_BASE64HEADER,
                              text.data(), &size)) {
      continue;
    }
    text.resize(size);
    pem += text;
  }
  CertCloseStore(store, 0);
  return pem;
}

}  // namespace

bool ApplyPlatformTlsOptions(CURL* curl, bool trustFileGiven) {
  // Schannel also asks whether the certificate was revoked. A revoked one is
  // still refused; but when the revocation server cannot be reached (a
  // firewall, a proxy, an outage), or a certificate names none, the part is
  // fetched anyway, as browsers do: an unreachable list must not stop a
  // download.
  if (curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS,
                       static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT)) != CURLE_OK) {
    return false;
  }
  if (trustFileGiven || !UnderWine()) return true;
  // Wine's Schannel takes any certificate for any name. Given the system's
  // roots, libcurl checks the chain (through crypt32) and the name itself.
  // With no roots to check against, HTTPS is refused rather than unchecked.
  std::string roots = SystemRootsAsPem();
  if (roots.empty()) {
    return curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http") == CURLE_OK;
  }
  curl_blob blob{roots.data(), roots.size(), CURL_BLOB_COPY};
  return curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK;
}
