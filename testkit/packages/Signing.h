// Authenticode signing of test images with osslsigncode (found on PATH).
#pragma once

#include <string>

#include "testkit/packages/TestPki.h"

namespace testkit::packages {

// The image with an embedded SHA-256 signature by the signer, its certificates included.
// Throws std::runtime_error, with the tool's message, when signing fails.
std::string SignPeImage(const std::string& image, const SignerFiles& signer);

}  // namespace testkit::packages
