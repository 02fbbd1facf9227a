// What the certificate-store, message and certificate-context handles of the crypt calls
// point to, and the blobs in which Windows hands out names and serial numbers.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "platform/win32/api/Crypt.h"
#include "platform/win32/internal/KernelObject.h"

namespace win32 {

using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

// The certificates of a signature, in the order it carries them.
class CertStore : public KernelObject {
 public:
  std::vector<Certificate> certificates;
};

class CryptMessage : public KernelObject {
 public:
  std::shared_ptr<PKCS7> signedData;
};

// A certificate handed out by a store; the caller frees it.
struct CertificateContext : CERT_CONTEXT {
  Certificate certificate{nullptr, X509_free};
  std::vector<BYTE> encoded;
  std::size_t index = 0;  // its place in the store, where a further search goes on
};

// A name as Windows compares and hands it out: its DER encoding.
std::vector<BYTE> NameBlob(const X509_NAME* name);
// A serial number as Windows holds integers: the DER content bytes, least significant first.
std::vector<BYTE> SerialBlob(const ASN1_INTEGER* serial);

}  // namespace win32
