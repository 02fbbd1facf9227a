#include "agent-windows/update/CheckFileSigner.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/internal/Drive.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/packages/ImageDamage.h"
#include "testkit/packages/PackageFolder.h"
#include "testkit/packages/PeImage.h"
#include "testkit/packages/Zip.h"

namespace {

using testkit::packages::Signer;

TEST(CheckFileSigner, OnlyATrustedSignatureByQuelmoPasses) {
  testkit::packages::PackageFolder folder;
  const std::string quelmo = folder.SignedImage(Signer::Quelmo);
  struct Case {
    const char* what;
    std::string bytes;
    bool passes;
    const char* rejection;  // the result code WinVerifyTrust gives, when it rejects the file
  } cases[] = {
      {"name in capitals", quelmo, true, nullptr},
      {"name in lower case", folder.SignedImage(Signer::LowerCaseQuelmo), false, nullptr},
      {"Quelmo only in O", folder.SignedImage(Signer::QuelmoOnlyInOrganization), false, nullptr},
      {"unsigned", testkit::packages::MakePeImage("setup"), false, "0x800B0100"},
      {"tampered after signing", testkit::packages::TamperSection(quelmo), false, "0x80096010"},
      {"signed under an untrusted root", folder.SignedImage(Signer::UntrustedQuelmo), false, "0x800B0109"},
      {"truncated certificate table", testkit::packages::TruncateCertificateTable(quelmo), false,
       "0x800B0100"},
      {"no PE image", testkit::packages::MakeZip({{"setup.exe", quelmo}}), false, "0x800B0003"},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::wstring path =
        win32::NativeToWindowsPath(folder.Write("package" + std::to_string(index++) + ".tmp", c.bytes));
    testkit::LogCapture log;
    EXPECT_EQ(CheckFileSigner(path), c.passes) << c.what;
    std::vector<std::string> expectedErrors;
    if (c.rejection != nullptr)
      expectedErrors.push_back("WinVerifyTrust rejects the file ( " + std::string(c.rejection) +
                               " ): " + win32::WideToUtf8(path));
    EXPECT_EQ(log.Errors(), expectedErrors) << c.what;
  }
}

}  // namespace
