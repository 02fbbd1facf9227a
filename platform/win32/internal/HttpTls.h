// The TLS side of a WinHTTP send: the client context with the machine's trusted roots, and the
// check of the server's certificate that a request's security flags relax.
#pragma once

#include <openssl/ssl.h>

#include <boost/asio/ssl/context.hpp>
#include <string>

#include "platform/win32/api/Types.h"

namespace win32 {

// TLS 1.2 or later, verifying the server against TrustedRoots (an unreadable root file trusts
// nothing).
void PrepareTlsClient(boost::asio::ssl::context& context);
// Offers host as the server name, as WinHTTP does, unless it is an address, and makes the
// certificate's names match it.
bool ExpectServer(SSL* ssl, const std::string& host);
// The verdict on one fault that OpenSSL found in the certificate chain: let through only when
// securityFlags holds the SECURITY_FLAG_IGNORE_* bit that covers it.
bool IgnoresFault(int verifyError, DWORD securityFlags);

}  // namespace win32
