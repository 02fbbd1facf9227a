#include "platform/win32/internal/HttpTls.h"

#include <openssl/x509v3.h>

#include <boost/asio/ip/address.hpp>

#include "platform/win32/api/WinHttp.h"
#include "platform/win32/internal/TrustedRoots.h"

namespace win32 {
namespace {

DWORD FlagCovering(int verifyError) {
  switch (verifyError) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    case X509_V_ERR_INVALID_PURPOSE:
      return SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    default:
      return 0;
  }
}

}  // namespace

void PrepareTlsClient(boost::asio::ssl::context& context) {
  SSL_CTX* native = context.native_handle();
  SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
  X509_STORE* roots = NewTrustedRootStore();
  SSL_CTX_set_cert_store(native, roots != nullptr ? roots : X509_STORE_new());
  context.set_verify_mode(boost::asio::ssl::verify_peer);
}

bool ExpectServer(SSL* ssl, const std::string& host) {
  boost::system::error_code notAddress;
  boost::asio::ip::make_address(host, notAddress);
  if (!notAddress) return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
  return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
}

bool IgnoresFault(int verifyError, DWORD securityFlags) {
  DWORD flag = FlagCovering(verifyError);
  return flag != 0 && (securityFlags & flag) == flag;
}

}  // namespace win32
