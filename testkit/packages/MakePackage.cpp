// make-package FOLDER NAME [SCRIPT]: writes a test PKI into FOLDER and, as FOLDER/NAME, an update
// package signed by its "Quelmo" signer whose installer double follows SCRIPT (a JSON text; the
// typical run without one). Prints the trusted root's file, for TARVIK_WIN32_TRUSTED_CA.
//
// make-package --macos app|bare|readme|hostile --installer PATH [--script FILE] --out FILE:
// writes a macOS update package (MacPackages.h) whose program starts the double at PATH under
// the script in FILE.
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>

#include "testkit/installer/InstallerScript.h"
#include "testkit/packages/MacPackages.h"
#include "testkit/packages/PeImage.h"
#include "testkit/packages/Signing.h"
#include "testkit/packages/TestPki.h"

namespace {

constexpr const char* kUsage =
    "usage: make-package FOLDER NAME [SCRIPT]\n"
    "       make-package --macos app|bare|readme|hostile --installer PATH [--script FILE] --out FILE\n";

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << bytes).flush()) throw std::runtime_error("cannot write " + path);
}

int MakeWindowsPackage(const std::string& folder, const std::string& name, const std::string& script) {
  testkit::packages::TestPki pki(folder + "/pki");
  WriteFile(folder + "/" + name,
            testkit::packages::SignPeImage(testkit::packages::MakePeImage(testkit::InstallerScriptPayload(script)),
                                           pki.Files(testkit::packages::Signer::Quelmo)));
  std::cout << pki.TrustedRootFile() << "\n";
  return 0;
}

// The options as given, each once with its value; empty when they are not all known.
std::map<std::string, std::string> Options(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if ((name != "--macos" && name != "--installer" && name != "--script" && name != "--out") ||
        !options.emplace(name, argv[i + 1]).second)
      return {};
  }
  if (argc % 2 == 0) return {};
  return options;
}

int MakeMacPackage(int argc, char** argv) {
  std::map<std::string, std::string> options = Options(argc, argv);
  auto kind = testkit::packages::MacPackageKindNamed(options["--macos"]);
  if (!kind || options["--installer"].empty() || options["--out"].empty()) {
    std::cerr << kUsage;
    return 2;
  }
  std::string script;
  if (!options["--script"].empty()) {
    std::ifstream file(options["--script"], std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + options["--script"]);
    script.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  WriteFile(options["--out"], testkit::packages::MacInstallerZip(*kind, options["--installer"], script));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc > 1 && std::string(argv[1]) == "--macos") return MakeMacPackage(argc, argv);
    if (argc < 3 || argc > 4) {
      std::cerr << kUsage;
      return 2;
    }
    return MakeWindowsPackage(argv[1], argv[2], argc == 4 ? argv[3] : "{}");
  } catch (const std::exception& error) {
    std::cerr << "make-package: " << error.what() << "\n";
    return 1;
  }
}
