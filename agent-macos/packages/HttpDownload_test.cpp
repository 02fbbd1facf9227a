#include "agent-macos/packages/HttpDownload.h"

#include <memory>

#include <gtest/gtest.h>

#include "agent-macos/testing/PackageTestFolder.h"
#include "testkit/mgmt-server/MgmtServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using packagetest::packageURL;
using packagetest::readFile;

namespace {

TEST(HttpDownloadTest, WritesTheBodyWhateverTheStatusAndFailsOnlyOnTheWayThere) {
  enum class Server { Serving, Silent, Gone };
  const std::string payload(100000, 'p');
  const struct {
    const char* label;
    bool tls;
    Server server;
    std::string name;
    packages::HttpDownloadLimits limits;
    std::string error;  // part of it; empty: none
    std::string body;
  } cases[] = {
      {"plain", false, Server::Serving, "pkg.zip", {}, "", payload},
      {"TLS with a certificate nobody trusts", true, Server::Serving, "pkg.zip", {}, "", payload},
      {"an error page", false, Server::Serving, "other.zip", {}, "", "no such package\n"},
      {"too large", false, Server::Serving, "pkg.zip", {30s, 1000}, "body limit", ""},
      {"silent server", false, Server::Silent, "pkg.zip", {300ms}, "timed out", ""},
      {"silent TLS server", true, Server::Silent, "pkg.zip", {300ms}, "timed out", ""},
      {"nobody listening", false, Server::Gone, "pkg.zip", {}, "refused", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const packagetest::PackageTestFolder folder;
    auto server = std::make_unique<testkit::MgmtServer>(testkit::MgmtServerOptions{.tls = c.tls});
    server->ServePackage("pkg.zip", payload);
    server->SetSilent(c.server == Server::Silent);
    const ServerURL url = packageURL(c.tls, server->Port(), c.name);
    if (c.server == Server::Gone) server.reset();
    const fs::path file = folder.root() / "body";

    const std::optional<std::string> error = packages::httpDownload(url, file, c.limits);

    if (c.error.empty()) {
      EXPECT_EQ(error, std::nullopt) << *error;
      EXPECT_EQ(readFile(file), c.body);
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_NE(error->find(c.error), std::string::npos) << *error;
    }
  }
}

TEST(HttpDownloadTest, AsksForTheTargetWithTheServersAuthority) {
  const packagetest::PackageTestFolder folder;
  testkit::MgmtServer server;
  server.ServePackage("my pkg.zip", "x");
  const ServerURL url = *ParseHttpURL("http://localhost:" + std::to_string(server.Port()) +
                                      "/tarvik/model/package/getModelPackageByModelName?filename=my%20pkg.zip");
  EXPECT_EQ(packages::httpDownload(url, folder.root() / "body"), std::nullopt);
  EXPECT_EQ(server.PackageRequests(),
            std::vector<std::string>{"/tarvik/model/package/getModelPackageByModelName?filename=my%20pkg.zip"});
}

}  // namespace
