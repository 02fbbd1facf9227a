// A test PKI for signed packages, made with OpenSSL and written as PEM files: a root the
// machine is told to trust (TARVIK_WIN32_TRUSTED_CA), a second root it does not trust, and
// code-signing certificates issued by them.
#pragma once

#include <map>
#include <memory>
#include <string>

namespace testkit::packages {

// The subject name's parts that a signer's display name is chosen from; empty ones are left out.
struct CertificateSubject {
  std::string commonName{};
  std::string organizationalUnit{};
  std::string organization{};
  std::string email{};
};

// A signer's certificate file (its certificate followed by its root, as a signature carries
// them) and its private-key file.
struct SignerFiles {
  std::string certificates;
  std::string privateKey;
};

// The signers the package tests share.
enum class Signer {
  Quelmo,                    // CN "Quelmo Display Tools", issued by the trusted root
  LowerCaseQuelmo,           // CN "quelmo display tools"
  QuelmoOnlyInOrganization,  // CN "Halvane Display Tools", O "Quelmo"
  UntrustedQuelmo,           // CN "Quelmo Display Tools", issued by the untrusted root
  ExpiredQuelmo,             // CN "Quelmo Display Tools", expired yesterday
};

class TestPki {
 public:
  // Makes the roots and the shared signers in folder (created when missing). Throws
  // std::runtime_error when OpenSSL or a file write fails.
  explicit TestPki(const std::string& folder);
  ~TestPki();
  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;

  // The trusted root's certificate: the file to name in TARVIK_WIN32_TRUSTED_CA.
  const std::string& TrustedRootFile() const;
  const SignerFiles& Files(Signer signer) const;
  // Another code-signing certificate issued by the trusted root, written as <stem>.pem and
  // <stem>.key.
  SignerFiles AddSigner(const std::string& stem, const CertificateSubject& subject);

 private:
  struct Authority;
  std::string m_folder;
  std::unique_ptr<Authority> m_trusted;
  std::unique_ptr<Authority> m_untrusted;
  std::map<Signer, SignerFiles> m_signers;
};

}  // namespace testkit::packages
