#include "testkit/mgmt-server/SelfSignedCertificate.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace testkit::mgmt {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
  void operator()(X509* p) const { X509_free(p); }
};
struct BioFree {
  void operator()(BIO* p) const { BIO_free(p); }
};
struct BnFree {
  void operator()(BIGNUM* p) const { BN_free(p); }
};

[[noreturn]] void Fail(const char* step) {
  char detail[256] = {};
  ERR_error_string_n(ERR_get_error(), detail, sizeof detail);
  throw std::runtime_error(std::string("certificate: ") + step + " failed: " + detail);
}

void Check(int ok, const char* step) {
  if (ok != 1) Fail(step);
}

void AddExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext == nullptr) Fail("extension");
  int ok = X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
  Check(ok, "add extension");
}

std::string Drain(BIO* bio) {
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  if (size <= 0 || data == nullptr) Fail("PEM output");
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

SelfSignedCertificate MakeSelfSignedCertificate() {
  // P-256 keys are made in a moment, even under the sanitizers.
  std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key) Fail("key generation");

  std::unique_ptr<X509, X509Free> cert(X509_new());
  if (!cert) Fail("X509_new");
  Check(X509_set_version(cert.get(), 2), "version");

  // A random serial: a client that caches certificates by issuer and serial must not mix up
  // two servers started one after the other.
  std::unique_ptr<BIGNUM, BnFree> serial(BN_new());
  if (!serial) Fail("BN_new");
  Check(BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "serial");
  if (BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) == nullptr)
    Fail("serial");

  if (X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60L * 60) == nullptr) Fail("notBefore");
  if (X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * 365) == nullptr)
    Fail("notAfter");
  Check(X509_set_pubkey(cert.get(), key.get()), "public key");

  X509_NAME* name = X509_get_subject_name(cert.get());
  Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0),
        "subject");
  Check(X509_set_issuer_name(cert.get(), name), "issuer");

  // It is its own root, so a client can trust it directly; it is also the server's leaf.
  AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
  AddExtension(cert.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(cert.get(), NID_subject_key_identifier, "hash");
  AddExtension(cert.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");

  if (X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0) Fail("signing");

  std::unique_ptr<BIO, BioFree> certBio(BIO_new(BIO_s_mem()));
  std::unique_ptr<BIO, BioFree> keyBio(BIO_new(BIO_s_mem()));
  if (!certBio || !keyBio) Fail("BIO_new");
  Check(PEM_write_bio_X509(certBio.get(), cert.get()), "certificate PEM");
  Check(PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr),
        "key PEM");
  return {Drain(certBio.get()), Drain(keyBio.get())};
}

}  // namespace testkit::mgmt
