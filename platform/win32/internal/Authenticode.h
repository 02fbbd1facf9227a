// The embedded Authenticode signature of a PE file, as WinVerifyTrust and the certificate
// calls read it. Every offset and length taken from the file is checked against its size.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "platform/win32/api/Types.h"

namespace win32 {

enum class SignatureStatus {
  Found,
  FileError,    // the file cannot be read (fileError says why)
  NotPe,        // no PE image
  NoSignature,  // no certificate table, or one that is truncated, lies about its size or holds
                // no PKCS#7 signed data
};

struct EmbeddedSignature {
  SignatureStatus status = SignatureStatus::FileError;
  DWORD fileError = 0;
  std::string image;
  // What the image digest leaves out: the header checksum, the certificate-table directory
  // entry and the certificate table.
  std::size_t checksumOffset = 0;
  std::size_t directoryOffset = 0;
  std::size_t tableOffset = 0;
  std::size_t tableSize = 0;
  std::shared_ptr<PKCS7> signedData;
};

EmbeddedSignature ReadEmbeddedSignature(const std::wstring& windowsPath);

// The first signer's certificate among the signature's own, or null. Not owned by the caller.
X509* SignerCertificate(PKCS7* signedData);

// 0 when the signature over the signed content verifies with the signer's key and the image
// digest it names matches the file; TRUST_E_BAD_DIGEST otherwise.
HRESULT CheckSignedDigest(const EmbeddedSignature& signature);

// 0 when the signer chains to one of the machine's trusted roots and may sign code; else the
// CERT_E_* or TRUST_E_* reason.
HRESULT CheckSignerChain(PKCS7* signedData, X509* signer);

}  // namespace win32
