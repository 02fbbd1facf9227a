// The machine's trusted root certificates, as the certificate checks of WinHTTP and
// WinVerifyTrust see them: the PEM file named by TARVIK_WIN32_TRUSTED_CA when it is set (tests
// make their own root), the system's store otherwise.
#pragma once

#include <openssl/x509_vfy.h>

namespace win32 {

// A new store the caller frees with X509_STORE_free; null when the named file cannot be read.
X509_STORE* NewTrustedRootStore();

}  // namespace win32
