#include "testkit/packages/TestPki.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace testkit::packages {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

constexpr long kDay = 60L * 60 * 24;

[[noreturn]] void Fail(const std::string& step) {
  char detail[256] = {};
  ERR_error_string_n(ERR_get_error(), detail, sizeof detail);
  throw std::runtime_error("test PKI: " + step + " failed: " + detail);
}

void Require(bool ok, const char* step) {
  if (!ok) Fail(step);
}

Key NewKey() {
  // P-256 keys are made in a moment, even under the sanitizers.
  Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free);
  Require(key != nullptr, "key generation");
  return key;
}

void AddNamePart(X509_NAME* name, const char* field, const std::string& value) {
  if (value.empty()) return;
  Require(X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                     reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                     0) == 1,
          field);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Require(extension != nullptr, value);
  const int added = X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
  Require(added == 1, value);
}

struct Validity {
  long fromSeconds;
  long untilSeconds;
};

// A certificate for key, signed by issuerKey; a root passes its own certificate as issuer.
Certificate Issue(const CertificateSubject& subject, EVP_PKEY* key, X509* issuer,
                  EVP_PKEY* issuerKey, Validity validity, bool authority) {
  Certificate certificate(X509_new(), X509_free);
  Require(certificate != nullptr, "X509_new");
  Require(X509_set_version(certificate.get(), 2) == 1, "version");
  // Random serials: a signer is found by issuer and serial, which must not repeat.
  std::unique_ptr<BIGNUM, decltype(&BN_free)> serial(BN_new(), BN_free);
  Require(serial && BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "serial");
  Require(BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) != nullptr,
          "serial");
  Require(X509_gmtime_adj(X509_getm_notBefore(certificate.get()), validity.fromSeconds) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(certificate.get()), validity.untilSeconds) != nullptr,
          "validity");
  Require(X509_set_pubkey(certificate.get(), key) == 1, "public key");

  X509_NAME* name = X509_get_subject_name(certificate.get());
  AddNamePart(name, "CN", subject.commonName);
  AddNamePart(name, "OU", subject.organizationalUnit);
  AddNamePart(name, "O", subject.organization);
  AddNamePart(name, "emailAddress", subject.email);
  X509* signer = issuer != nullptr ? issuer : certificate.get();
  Require(X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer)) == 1, "issuer");

  AddExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
  if (authority) {
    AddExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid");
    AddExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(certificate.get(), signer, NID_key_usage, "critical,digitalSignature");
    AddExtension(certificate.get(), signer, NID_ext_key_usage, "codeSigning");
  }
  Require(X509_sign(certificate.get(), issuerKey, EVP_sha256()) > 0, "signing");
  return certificate;
}

using File = std::unique_ptr<FILE, decltype(&std::fclose)>;

File OpenForWriting(const std::string& path) {
  File file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) throw std::runtime_error("test PKI: cannot write " + path);
  return file;
}

void WriteCertificates(const std::string& path, std::initializer_list<X509*> certificates) {
  File file = OpenForWriting(path);
  for (X509* certificate : certificates)
    Require(PEM_write_X509(file.get(), certificate) == 1, "certificate PEM");
}

void WriteKey(const std::string& path, EVP_PKEY* key) {
  File file = OpenForWriting(path);
  Require(PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "key PEM");
}

constexpr Validity kCurrent{-kDay, 3650 * kDay};

}  // namespace

struct TestPki::Authority {
  Key key = NewKey();
  Certificate certificate{nullptr, X509_free};
  std::string file;

  Authority(const std::string& folder, const std::string& stem, const std::string& name) {
    certificate = Issue({.commonName = name, .organization = "Tarvik Test PKI"}, key.get(), nullptr,
                        key.get(), kCurrent, true);
    file = folder + "/" + stem + ".pem";
    WriteCertificates(file, {certificate.get()});
  }

  SignerFiles Sign(const std::string& folder, const std::string& stem,
                   const CertificateSubject& subject, Validity validity) const {
    Key signerKey = NewKey();
    Certificate signer = Issue(subject, signerKey.get(), certificate.get(), key.get(), validity, false);
    SignerFiles files{folder + "/" + stem + ".pem", folder + "/" + stem + ".key"};
    WriteCertificates(files.certificates, {signer.get(), certificate.get()});
    WriteKey(files.privateKey, signerKey.get());
    return files;
  }
};

TestPki::TestPki(const std::string& folder) : m_folder(folder) {
  std::filesystem::create_directories(folder);
  m_trusted = std::make_unique<Authority>(folder, "trusted-root", "Tarvik Test Root");
  m_untrusted = std::make_unique<Authority>(folder, "untrusted-root", "Tarvik Untrusted Root");
  const CertificateSubject quelmo{.commonName = "Quelmo Display Tools"};
  m_signers[Signer::Quelmo] = m_trusted->Sign(folder, "quelmo", quelmo, kCurrent);
  m_signers[Signer::LowerCaseQuelmo] =
      m_trusted->Sign(folder, "lower-case", {.commonName = "quelmo display tools"}, kCurrent);
  m_signers[Signer::QuelmoOnlyInOrganization] = m_trusted->Sign(
      folder, "organization",
      {.commonName = "Halvane Display Tools", .organization = "Quelmo"}, kCurrent);
  m_signers[Signer::UntrustedQuelmo] = m_untrusted->Sign(folder, "untrusted", quelmo, kCurrent);
  m_signers[Signer::ExpiredQuelmo] =
      m_trusted->Sign(folder, "expired", quelmo, {-2 * kDay, -kDay});
}

TestPki::~TestPki() = default;

const std::string& TestPki::TrustedRootFile() const { return m_trusted->file; }

const SignerFiles& TestPki::Files(Signer signer) const { return m_signers.at(signer); }

SignerFiles TestPki::AddSigner(const std::string& stem, const CertificateSubject& subject) {
  return m_trusted->Sign(m_folder, stem, subject, kCurrent);
}

}  // namespace testkit::packages
