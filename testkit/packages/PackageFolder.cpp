#include "testkit/packages/PackageFolder.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "testkit/packages/PeImage.h"
#include "testkit/packages/Signing.h"

namespace testkit::packages {

PackageFolder::PackageFolder() : m_pki(m_folder.File("pki")) {
  const char* previous = std::getenv("TARVIK_WIN32_TRUSTED_CA");
  m_hadTrustedCa = previous != nullptr;
  if (m_hadTrustedCa) m_previousTrustedCa = previous;
  setenv("TARVIK_WIN32_TRUSTED_CA", m_pki.TrustedRootFile().c_str(), 1);
}

PackageFolder::~PackageFolder() {
  if (m_hadTrustedCa)
    setenv("TARVIK_WIN32_TRUSTED_CA", m_previousTrustedCa.c_str(), 1);
  else
    unsetenv("TARVIK_WIN32_TRUSTED_CA");
}

std::string PackageFolder::SignedImage(Signer signer, const std::string& payload) const {
  return SignPeImage(MakePeImage(payload), m_pki.Files(signer));
}

std::string PackageFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = m_folder.File(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace testkit::packages
