// A certificate for "localhost" and 127.0.0.1, made in memory when a server starts, so tests can
// trust exactly the server they started.
#pragma once

#include <string>

namespace testkit::mgmt {

struct SelfSignedCertificate {
  std::string certificatePem;
  std::string privateKeyPem;
};

// Throws std::runtime_error when OpenSSL fails.
SelfSignedCertificate MakeSelfSignedCertificate();

}  // namespace testkit::mgmt
