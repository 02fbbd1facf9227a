// A folder for tests of signed packages: it holds the test PKI, whose trusted root is named in
// TARVIK_WIN32_TRUSTED_CA while the folder is alive, and the files a test writes into it.
// Removed afterwards with everything in it.
#pragma once

#include <string>

#include "testkit/packages/TestPki.h"
#include "testkit/packages/WorkFolder.h"

namespace testkit::packages {

// The bytes a package's section carries unless a test needs others.
inline constexpr char kDefaultPayload[] = "Tarvik test package";

class PackageFolder {
 public:
  // Throws std::runtime_error when the PKI cannot be made.
  PackageFolder();
  ~PackageFolder();
  PackageFolder(const PackageFolder&) = delete;
  PackageFolder& operator=(const PackageFolder&) = delete;

  TestPki& Pki() { return m_pki; }
  std::string Path() const { return m_folder.Path(); }
  // A PE image holding the payload, signed by the signer.
  std::string SignedImage(Signer signer, const std::string& payload = kDefaultPayload) const;
  // Writes the bytes as the file name of the folder; its native path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  WorkFolder m_folder;
  TestPki m_pki;
  std::string m_previousTrustedCa;
  bool m_hadTrustedCa = false;
};

}  // namespace testkit::packages
