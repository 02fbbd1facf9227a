#include "testkit/packages/Signing.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

#include "testkit/packages/WorkFolder.h"
#include "testkit/services/RunProgram.h"

namespace testkit::packages {
namespace {

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  throw std::runtime_error(program + " is not on PATH (scripts/install-deps.sh installs it)");
}

}  // namespace

std::string SignPeImage(const std::string& image, const SignerFiles& signer) {
  WorkFolder folder;
  const std::string input = folder.File("unsigned.exe");
  const std::string output = folder.File("signed.exe");
  std::ofstream(input, std::ios::binary) << image;
  const ProgramResult result =
      RunProgram(FindOnPath("osslsigncode"), {"sign", "-certs", signer.certificates, "-key", signer.privateKey,
                                              "-h", "sha256", "-in", input, "-out", output});
  if (result.exitCode != 0)
    throw std::runtime_error("osslsigncode sign failed (" + std::to_string(result.exitCode) +
                             "): " + result.output + result.error);
  return WorkFolder::Read(output);
}

}  // namespace testkit::packages
