// make-package FOLDER NAME [SCRIPT]: writes a test PKI into FOLDER and, as FOLDER/NAME, an update
// package signed by its "Quelmo" signer whose installer double follows SCRIPT (a JSON text; the
// typical run without one). Prints the trusted root's file, for TARVIK_WIN32_TRUSTED_CA.
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "testkit/installer/InstallerScript.h"
#include "testkit/packages/PeImage.h"
#include "testkit/packages/Signing.h"
#include "testkit/packages/TestPki.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::cerr << "usage: make-package FOLDER NAME [SCRIPT]\n";
    return 2;
  }
  try {
    const std::string folder = argv[1];
    testkit::packages::TestPki pki(folder + "/pki");
    const std::string script = argc == 4 ? argv[3] : "{}";
    const std::string image = testkit::packages::SignPeImage(
        testkit::packages::MakePeImage(testkit::InstallerScriptPayload(script)),
        pki.Files(testkit::packages::Signer::Quelmo));
    std::ofstream file(folder + "/" + argv[2], std::ios::binary | std::ios::trunc);
    if (!(file << image).flush()) throw std::runtime_error("cannot write the package");
    std::cout << pki.TrustedRootFile() << "\n";
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "make-package: " << error.what() << "\n";
    return 1;
  }
}
