#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/update/InstallationSequence.h"
#include "agent-windows/update/PackageTestDrive.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/packages/PackageFolder.h"
#include "testkit/packages/PeImage.h"

namespace {

using testkit::packages::Signer;

const std::string kPackageTarget = "/tarvik/model/package/getModelPackageByModelName?filename=pkg.exe";

testkit::MgmtServerOptions ServerOptions(bool tls) {
  testkit::MgmtServerOptions options;
  options.tls = tls;
  return options;
}

std::wstring UrlOf(const std::string& scheme, std::uint16_t port) {
  return win32::Utf8ToWide(scheme + "://localhost:" + std::to_string(port) + kPackageTarget);
}

// The temporary folder on the drive (GetTempPathW's C:\Windows\Temp\).
std::set<std::string> TemporaryFiles(const update_test::PackageTestDrive& drive) {
  std::set<std::string> files;
  for (const std::string& file : drive.Files())
    if (file.rfind("Windows/Temp/", 0) == 0) files.insert(file);
  return files;
}

// The machine trusts the test PKI's root, not the server's own certificate, so every download
// meets a certificate it has to accept on a second send.
class DownloadFileTest : public ::testing::Test {
 protected:
  update_test::PackageTestDrive m_drive;
  testkit::packages::PackageFolder m_packages;
  testkit::LogCapture m_log;
};

TEST_F(DownloadFileTest, ASignedPackageArrivesOverTlsAfterTwoHandshakesAndOneGet) {
  const std::string package = m_packages.SignedImage(Signer::Quelmo);
  struct Case {
    const char* what;
    bool tlsServer;
    std::string scheme;
  } cases[] = {
      {"an https URL", true, "https"},
      // The URL's scheme does not matter: the request is made with TLS to the URL's port.
      {"an http URL with a port", false, "http"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::MgmtServer server(ServerOptions(c.tlsServer));
    server.ServePackage("pkg.exe", package);
    std::wstring path;
    ASSERT_TRUE(DownloadFile(UrlOf(c.scheme, server.Port()), path,
                             static_cast<std::int64_t>(package.size())));
    EXPECT_EQ(server.TlsHandshakes(), 2u);
    EXPECT_EQ(server.PackageRequests(), std::vector<std::string>{kPackageTarget});
    EXPECT_EQ(path.rfind(L"C:\\Windows\\Temp\\DLF", 0), 0u);
    EXPECT_EQ(path.substr(path.size() - 4), L".tmp");
    const std::string name = win32::WideToUtf8(path.substr(path.rfind(L'\\') + 1));
    EXPECT_TRUE(m_drive.Read("Windows/Temp/" + name) == package)
        << "the file differs from the package";
    EXPECT_TRUE(m_log.Errors().empty()) << m_log.Errors().front();
  }
}

TEST_F(DownloadFileTest, AFailedAttemptLogsItsLineClosesEverythingAndDeletesItsFile) {
  const std::string signedPackage = m_packages.SignedImage(Signer::Quelmo);
  const std::string unsigned_ = testkit::packages::MakePeImage("setup");
  struct Case {
    const char* what;
    std::string body;
    std::int64_t expectedSize;
    const char* failingCall;  // made to fail with error 5 (TARVIK_WIN32_FAIL)
    std::string errorLine;    // "<path>" stands for the file's path
  };
  const std::int64_t size = static_cast<std::int64_t>(signedPackage.size());
  const std::vector<Case> cases = {
      {"one byte short", signedPackage.substr(1), size, "",
       "<path> File Size Check (" + std::to_string(size - 1) + "  " + std::to_string(size) + " )."},
      {"unsigned", unsigned_, static_cast<std::int64_t>(unsigned_.size()), "",
       "File Signature check fail."},
      {"no session", signedPackage, size, "WinHttpOpen", "WinHttpOpen failed ( 5 )."},
      {"no connection", signedPackage, size, "WinHttpConnect", "WinHttpConnect failed ( 5 )."},
      {"no request", signedPackage, size, "WinHttpOpenRequest", "WinHttpOpenRequest failed ( 5 )."},
      {"send", signedPackage, size, "WinHttpSendRequest", "WinHttpSendRequest failed ( 5 )."},
      {"security flags", signedPackage, size, "WinHttpSetOption", "WinHttpSetOption failed ( 5 )."},
      {"response", signedPackage, size, "WinHttpReceiveResponse",
       "WinHttpReceiveResponse failed ( 5 )."},
      {"data available", signedPackage, size, "WinHttpQueryDataAvailable",
       "WinHttpQueryDataAvailable failed: 5"},
      {"read", signedPackage, size, "WinHttpReadData", "WinHttpReadData failed: 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::MgmtServer server(ServerOptions(true));
    server.ServePackage("pkg.exe", c.body);
    m_log.Clear();
    setenv("TARVIK_WIN32_FAIL", c.failingCall, 1);
    std::wstring path;
    EXPECT_FALSE(DownloadFile(UrlOf("https", server.Port()), path, c.expectedSize));
    unsetenv("TARVIK_WIN32_FAIL");
    std::string line = c.errorLine;
    if (line.rfind("<path>", 0) == 0) line.replace(0, 6, win32::WideToUtf8(path));
    // The signer check may say more before the line of the step that failed.
    const std::vector<std::string> errors = m_log.Errors();
    EXPECT_EQ(errors.empty() ? "" : errors.back(), line);
    EXPECT_EQ(TemporaryFiles(m_drive), std::set<std::string>{});
  }
}

TEST_F(DownloadFileTest, ServersThatCannotBeReachedOrNamedFailTheirStep) {
  std::uint16_t closedPort = 0;
  {
    testkit::MgmtServer gone;
    closedPort = gone.Port();
  }
  struct Case {
    const char* what;
    std::wstring url;
    std::string errorLine;
  } cases[] = {
      {"refused", UrlOf("https", closedPort), "WinHttpSendRequest failed ( 12029 )."},
      {"not an http URL", L"ftp://localhost/pkg.exe", "WinHttpCrackUrl failed ( 12006 )."},
      {"a host name longer than its buffer",
       L"https://" + std::wstring(300, L'h') + L"/pkg.exe", "WinHttpCrackUrl failed ( 122 )."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_log.Clear();
    std::wstring path;
    EXPECT_FALSE(DownloadFile(c.url, path, 6));
    EXPECT_EQ(m_log.Errors(), std::vector<std::string>{c.errorLine});
    EXPECT_EQ(TemporaryFiles(m_drive), std::set<std::string>{});
  }
}

}  // namespace
