// Changes made to a signed image from MakePeImage after signing, as a tampered or broken
// download would carry them.
#pragma once

#include <string>

namespace testkit::packages {

// One byte of the section's payload flipped.
std::string TamperSection(std::string image);
// One byte of the section flipped and the image digest in the signed content replaced by the
// new image's digest, the signature left as it was: what a forger without the key can do.
std::string TamperSectionAndSignedDigest(std::string image);
// The file cut off in the middle of its certificate table.
std::string TruncateCertificateTable(std::string image);
// The certificate-table directory claiming more bytes than the file has.
std::string OversizeCertificateTable(std::string image);

}  // namespace testkit::packages
