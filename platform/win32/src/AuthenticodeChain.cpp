#include <memory>

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Authenticode.h"
#include "platform/win32/internal/TrustedRoots.h"

namespace win32 {
namespace {

HRESULT ChainError(int error) {
  switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      return CERT_E_UNTRUSTEDROOT;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return CERT_E_EXPIRED;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
      return TRUST_E_CERT_SIGNATURE;
    default:
      return CERT_E_CHAINING;
  }
}

// A signer whose certificate names its uses must name code signing.
bool MaySignCode(X509* signer) {
  return (X509_get_extension_flags(signer) & EXFLAG_XKUSAGE) == 0 ||
         (X509_get_extended_key_usage(signer) & XKU_CODE_SIGN) != 0;
}

}  // namespace

X509* SignerCertificate(PKCS7* signedData) {
  STACK_OF(X509)* signers = PKCS7_get0_signers(signedData, nullptr, 0);
  X509* signer = sk_X509_num(signers) > 0 ? sk_X509_value(signers, 0) : nullptr;
  sk_X509_free(signers);
  ERR_clear_error();
  return signer;
}

HRESULT CheckSignerChain(PKCS7* signedData, X509* signer) {
  std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> roots(NewTrustedRootStore(), X509_STORE_free);
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                          X509_STORE_CTX_free);
  if (!roots || !context || X509_STORE_CTX_init(context.get(), roots.get(), signer, signedData->d.sign->cert) != 1)
    return TRUST_E_SYSTEM_ERROR;
  const bool chained = X509_verify_cert(context.get()) == 1;
  const int error = X509_STORE_CTX_get_error(context.get());
  ERR_clear_error();
  if (!chained) return ChainError(error);
  return MaySignCode(signer) ? S_OK : CERT_E_WRONG_USAGE;
}

}  // namespace win32
