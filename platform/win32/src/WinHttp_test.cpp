#include <algorithm>
#include <atomic>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/packages/PackageFolder.h"

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;

const std::wstring kPackagePath = L"/model/package/getModelPackageByModelName?filename=pkg.exe";

// A session, a connection and a GET request, closed together.
class Get {
 public:
  Get(const std::wstring& host, INTERNET_PORT port, const std::wstring& path, DWORD flags) {
    m_session = WinHttpOpen(L"tester/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    m_connect = WinHttpConnect(m_session, host.c_str(), port, 0);
    m_request = WinHttpOpenRequest(m_connect, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  }
  ~Get() {
    for (HINTERNET handle : {m_request, m_connect, m_session})
      if (handle != nullptr) WinHttpCloseHandle(handle);
  }
  Get(const Get&) = delete;
  Get& operator=(const Get&) = delete;

  HINTERNET Request() const { return m_request; }

  // ERROR_SUCCESS or the send's error.
  DWORD Send() const {
    return WinHttpSendRequest(m_request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  // The body as far as it arrived, read the way the agent reads it, and the error that ended it.
  struct Body {
    std::string bytes;
    DWORD error = ERROR_SUCCESS;
  };
  Body ReadBody() const {
    Body body;
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(m_request, &available)) {
        body.error = GetLastError();
        return body;
      }
      if (available == 0) return body;
      char buffer[8192];
      DWORD got = 0;
      if (!WinHttpReadData(m_request, buffer, std::min<DWORD>(available, sizeof buffer), &got)) {
        body.error = GetLastError();
        return body;
      }
      body.bytes.append(buffer, got);
    }
  }

 private:
  HINTERNET m_session = nullptr;
  HINTERNET m_connect = nullptr;
  HINTERNET m_request = nullptr;
};

// The machine's trusted roots for the test's time: a PEM file, or the system's store.
class TrustedRoots {
 public:
  explicit TrustedRoots(const std::string& pem = {}) {
    if (const char* previous = std::getenv("TARVIK_WIN32_TRUSTED_CA")) m_previous = previous;
    if (pem.empty()) {
      unsetenv("TARVIK_WIN32_TRUSTED_CA");
      return;
    }
    m_file = (std::filesystem::temp_directory_path() / "tarvik-roots-XXXXXX").string();
    close(mkstemp(m_file.data()));
    std::ofstream(m_file) << pem;
    setenv("TARVIK_WIN32_TRUSTED_CA", m_file.c_str(), 1);
  }
  ~TrustedRoots() {
    if (!m_file.empty()) std::remove(m_file.c_str());
    if (m_previous)
      setenv("TARVIK_WIN32_TRUSTED_CA", m_previous->c_str(), 1);
    else
      unsetenv("TARVIK_WIN32_TRUSTED_CA");
  }

 private:
  std::string m_file;
  std::optional<std::string> m_previous;
};

testkit::MgmtServerOptions TlsServer() {
  testkit::MgmtServerOptions options;
  options.tls = true;
  return options;
}

// Larger than one read, and no two 8192-byte pieces alike.
std::string LargePackage() {
  std::string bytes(100 * 1000 + 7, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 8192);
  return bytes;
}

TEST(WinHttpTest, AnUntrustedServerFailsTheSendUntilTheFourIgnoreFlagsAreSet) {
  TrustedRoots systemStore;
  testkit::MgmtServer server(TlsServer());
  const std::string package = LargePackage();
  server.ServePackage("pkg.exe", package);
  Get get(L"localhost", server.Port(), kPackagePath, WINHTTP_FLAG_SECURE);

  EXPECT_EQ(get.Send(), static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
  // A self-signed certificate is an unknown authority: ignoring other faults is not enough.
  DWORD notEnough = SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
  ASSERT_TRUE(WinHttpSetOption(get.Request(), WINHTTP_OPTION_SECURITY_FLAGS, &notEnough,
                               sizeof notEnough));
  EXPECT_EQ(get.Send(), static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
  EXPECT_TRUE(server.PackageRequests().empty());

  DWORD flags = 0x3300;
  ASSERT_TRUE(WinHttpSetOption(get.Request(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
  ASSERT_EQ(get.Send(), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(WinHttpReceiveResponse(get.Request(), nullptr)) << GetLastError();
  Get::Body body = get.ReadBody();
  EXPECT_EQ(body.error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(body.bytes == package) << "got " << body.bytes.size() << " bytes";
  EXPECT_EQ(server.TlsHandshakes(), 3u);
  EXPECT_EQ(server.PackageRequests(),
            std::vector<std::string>{win32::WideToUtf8(kPackagePath)});
}

TEST(WinHttpTest, AServerTheMachineTrustsPassesTheFirstSendByNameAndByAddress) {
  testkit::MgmtServer server(TlsServer());
  server.ServePackage("pkg.exe", "MZ package");
  TrustedRoots trusted(server.CertificatePem());
  for (const wchar_t* host : {L"localhost", L"127.0.0.1"}) {
    SCOPED_TRACE(win32::WideToUtf8(host));
    Get get(host, server.Port(), kPackagePath, WINHTTP_FLAG_SECURE);
    ASSERT_EQ(get.Send(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(WinHttpReceiveResponse(get.Request(), nullptr));
    EXPECT_EQ(get.ReadBody().bytes, "MZ package");
  }
  EXPECT_EQ(server.TlsHandshakes(), 2u);
}

TEST(WinHttpTest, ARefusedConnectionFailsTheSend) {
  INTERNET_PORT port = 0;
  {
    testkit::MgmtServer gone;
    port = gone.Port();
  }
  Get get(L"127.0.0.1", port, L"/", WINHTTP_FLAG_SECURE);
  EXPECT_EQ(get.Send(), static_cast<DWORD>(ERROR_WINHTTP_CANNOT_CONNECT));
  EXPECT_FALSE(WinHttpReceiveResponse(get.Request(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_STATE));
}

// Answers one plain HTTP connection with fixed bytes, whatever it asks, and closes it.
class CannedServer {
 public:
  explicit CannedServer(std::string response)
      : m_response(std::move(response)), m_thread([this] { Serve(); }) {}
  ~CannedServer() {
    if (!m_served) {  // the test never came: wake the accept
      net::io_context io;
      tcp::socket wake(io);
      boost::system::error_code ignored;
      wake.connect(m_acceptor.local_endpoint(), ignored);
    }
    if (m_thread.joinable()) m_thread.join();
  }

  INTERNET_PORT Port() const { return m_acceptor.local_endpoint().port(); }
  // The request's line and headers; call once the exchange is over.
  std::string Request() {
    if (m_thread.joinable()) m_thread.join();
    return m_request;
  }

 private:
  void Serve() {
    boost::system::error_code ec;
    tcp::socket socket = m_acceptor.accept(ec);
    m_served = true;
    if (ec) return;
    net::streambuf request;
    std::size_t length = net::read_until(socket, request, "\r\n\r\n", ec);
    m_request.assign(net::buffers_begin(request.data()), net::buffers_begin(request.data()) + length);
    net::write(socket, net::buffer(m_response), ec);
    socket.shutdown(tcp::socket::shutdown_send, ec);
  }

  net::io_context m_io;
  tcp::acceptor m_acceptor{m_io, tcp::endpoint(net::ip::address_v4::loopback(), 0)};
  std::string m_response;
  std::string m_request;
  std::atomic<bool> m_served{false};
  std::thread m_thread;
};

TEST(WinHttpTest, ThePlainRequestCarriesPathHostAndAgent) {
  CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  Get get(L"127.0.0.1", server.Port(), L"/a/b?filename=x%20y", 0);
  ASSERT_EQ(get.Send(), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(WinHttpReceiveResponse(get.Request(), nullptr));
  EXPECT_EQ(get.ReadBody().bytes, "");
  const std::string request = server.Request();
  EXPECT_EQ(request.rfind("GET /a/b?filename=x%20y HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"),
            std::string::npos)
      << request;
  EXPECT_NE(request.find("\r\nUser-Agent: tester/1.0\r\n"), std::string::npos) << request;
}

TEST(WinHttpTest, TheBodyArrivesAsTheResponseFramesItAndBreaksOffWithAnError) {
  struct Case {
    const char* what;
    std::string response;
    DWORD receiveError;
    std::string body;
    DWORD bodyError;
  };
  const std::vector<Case> cases = {
      {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", ERROR_SUCCESS,
       "hello", ERROR_SUCCESS},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n",
       ERROR_SUCCESS, "abcdefg", ERROR_SUCCESS},
      {"up to the close", "HTTP/1.0 200 OK\r\n\r\nuntil close", ERROR_SUCCESS, "until close",
       ERROR_SUCCESS},
      {"the status is not examined", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone",
       ERROR_SUCCESS, "gone", ERROR_SUCCESS},
      {"shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello",
       ERROR_SUCCESS, "hello", ERROR_WINHTTP_CONNECTION_ERROR},
      {"a broken chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n",
       ERROR_SUCCESS, "", ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
      {"not HTTP", "SSH-2.0-nothing\r\n\r\n", ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "", 0},
      {"no answer", "", ERROR_WINHTTP_CONNECTION_ERROR, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CannedServer server(c.response);
    Get get(L"localhost", server.Port(), L"/p", 0);
    ASSERT_EQ(get.Send(), static_cast<DWORD>(ERROR_SUCCESS));
    BOOL received = WinHttpReceiveResponse(get.Request(), nullptr);
    EXPECT_EQ(received ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError(), c.receiveError);
    if (!received) continue;
    Get::Body body = get.ReadBody();
    EXPECT_EQ(body.bytes, c.body);
    EXPECT_EQ(body.error, c.bodyError);
  }
}

// Presents a certificate of the test PKI over TLS and answers "ok" on every connection whose
// handshake succeeds, until it is destroyed.
class TlsCannedServer {
 public:
  explicit TlsCannedServer(const testkit::packages::SignerFiles& certificate) {
    m_tls.use_certificate_chain_file(certificate.certificates);
    m_tls.use_private_key_file(certificate.privateKey, net::ssl::context::pem);
    m_thread = std::thread([this] { Serve(); });
  }
  ~TlsCannedServer() {
    m_stopping = true;
    net::io_context io;
    tcp::socket wake(io);
    boost::system::error_code ignored;
    wake.connect(m_acceptor.local_endpoint(), ignored);
    m_thread.join();
  }

  INTERNET_PORT Port() const { return m_acceptor.local_endpoint().port(); }

 private:
  void Serve() {
    while (!m_stopping) {
      boost::system::error_code ec;
      net::ssl::stream<tcp::socket> stream(m_acceptor.accept(ec), m_tls);
      if (ec || m_stopping) continue;
      stream.handshake(net::ssl::stream_base::server, ec);
      if (ec) continue;  // the client refused the certificate
      net::streambuf request;
      net::read_until(stream, request, "\r\n\r\n", ec);
      const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
      net::write(stream, net::buffer(response), ec);
      stream.shutdown(ec);
    }
  }

  net::io_context m_io;
  net::ssl::context m_tls{net::ssl::context::tls_server};
  tcp::acceptor m_acceptor{m_io, tcp::endpoint(net::ip::address_v4::loopback(), 0)};
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
};

// Each fault of a certificate the machine's roots cannot vouch for is let through only by its
// own ignore flag: without any one of them the send still fails.
TEST(WinHttpTest, EachCertificateFaultNeedsItsOwnIgnoreFlag) {
  using testkit::packages::Signer;
  testkit::packages::PackageFolder folder;  // trusts the test PKI's root
  // The test PKI issues code-signing certificates without the server's name.
  const DWORD usageAndName =
      SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
  struct Case {
    const char* what;
    Signer signer;
    DWORD faults;
  } cases[] = {
      {"wrong usage, another name", Signer::Quelmo, usageAndName},
      {"expired", Signer::ExpiredQuelmo, usageAndName | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID},
      {"unknown authority", Signer::UntrustedQuelmo, usageAndName | SECURITY_FLAG_IGNORE_UNKNOWN_CA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TlsCannedServer server(folder.Pki().Files(c.signer));
    Get get(L"localhost", server.Port(), L"/p", WINHTTP_FLAG_SECURE);
    EXPECT_EQ(get.Send(), static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
    for (DWORD flag = 1; flag != 0; flag <<= 1) {
      if ((c.faults & flag) == 0) continue;
      DWORD allButOne = 0x3300 & ~flag;
      ASSERT_TRUE(WinHttpSetOption(get.Request(), WINHTTP_OPTION_SECURITY_FLAGS, &allButOne,
                                   sizeof allButOne));
      EXPECT_EQ(get.Send(), static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE))
          << std::hex << "without 0x" << flag;
    }
    DWORD all = 0x3300;
    ASSERT_TRUE(WinHttpSetOption(get.Request(), WINHTTP_OPTION_SECURITY_FLAGS, &all, sizeof all));
    ASSERT_EQ(get.Send(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(WinHttpReceiveResponse(get.Request(), nullptr));
    EXPECT_EQ(get.ReadBody().bytes, "ok");
  }
}

TEST(WinHttpTest, CrackUrlSplitsHttpUrlsAndRefusesOthers) {
  struct Case {
    const wchar_t* url;
    DWORD error;
    INTERNET_SCHEME scheme = 0;
    std::wstring host{};
    INTERNET_PORT port = 0;
    std::wstring path{};
  };
  const std::vector<Case> cases = {
      {L"https://localhost:8443/model/p?filename=a%20b.exe", ERROR_SUCCESS, INTERNET_SCHEME_HTTPS,
       L"localhost", 8443, L"/model/p?filename=a%20b.exe"},
      {L"http://10.1.2.3/x", ERROR_SUCCESS, INTERNET_SCHEME_HTTP, L"10.1.2.3", 80, L"/x"},
      {L"HTTPS://h", ERROR_SUCCESS, INTERNET_SCHEME_HTTPS, L"h", 443, L""},
      {L"http://user:pw@h:81?q", ERROR_SUCCESS, INTERNET_SCHEME_HTTP, L"h", 81, L"?q"},
      {L"http://[::1]:9/v6", ERROR_SUCCESS, INTERNET_SCHEME_HTTP, L"[::1]", 9, L"/v6"},
      {L"ftp://h/f", ERROR_WINHTTP_UNRECOGNIZED_SCHEME},
      {L"httplocalhost:80/x", ERROR_WINHTTP_INVALID_URL},
      {L"http://h:65536/", ERROR_WINHTTP_INVALID_URL},
      {L"http://h:0/", ERROR_WINHTTP_INVALID_URL},
      {L"http://h:8o/", ERROR_WINHTTP_INVALID_URL},
      {L"http://:80/", ERROR_WINHTTP_INVALID_URL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(win32::WideToUtf8(c.url));
    wchar_t host[256] = L"unchanged";
    wchar_t path[1024] = L"unchanged";
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    BOOL ok = WinHttpCrackUrl(c.url, 0, 0, &parts);
    ASSERT_EQ(ok ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError(), c.error);
    if (!ok) continue;
    EXPECT_EQ(parts.nScheme, c.scheme);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(parts.dwHostNameLength, c.host.size());
    EXPECT_EQ(parts.nPort, c.port);
    EXPECT_EQ(path, c.path);
  }
}

TEST(WinHttpTest, CrackUrlTellsASmallBufferItsSizeAndPointsIntoTheUrlWithoutOne) {
  const wchar_t* url = L"https://server.example:8443/p?filename=x";
  wchar_t host[6] = L"";
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = 6;
  EXPECT_FALSE(WinHttpCrackUrl(url, 0, 0, &parts));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(parts.dwHostNameLength, 15u);

  parts = URL_COMPONENTS{};
  parts.dwStructSize = sizeof parts;
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  ASSERT_TRUE(WinHttpCrackUrl(url, 0, 0, &parts));
  EXPECT_EQ(std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength), L"/p");
  EXPECT_EQ(std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength), L"?filename=x");
  EXPECT_EQ(parts.lpszUrlPath, url + 27);
}

TEST(WinHttpTest, CallsOnTheWrongHandleOrOutOfTurnFail) {
  HINTERNET session =
      WinHttpOpen(L"a", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  ASSERT_NE(session, nullptr);
  DWORD flags = 0x3300;
  EXPECT_FALSE(WinHttpSetOption(session, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE));
  HINTERNET connect = WinHttpConnect(session, L"localhost", 1, 0);
  HINTERNET request = WinHttpOpenRequest(connect, L"GET", L"/", nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  ASSERT_NE(request, nullptr);
  DWORD available = 0;
  EXPECT_FALSE(WinHttpQueryDataAvailable(request, &available));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_STATE));
  EXPECT_FALSE(WinHttpReceiveResponse(connect, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE));
  // Parents may go first: the request still knows where it is going.
  EXPECT_TRUE(WinHttpCloseHandle(session));
  EXPECT_TRUE(WinHttpCloseHandle(connect));
  EXPECT_TRUE(WinHttpCloseHandle(request));
  EXPECT_FALSE(WinHttpCloseHandle(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
