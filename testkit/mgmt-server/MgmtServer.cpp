#include "testkit/mgmt-server/MgmtServer.h"

#include <openssl/ssl.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <future>
#include <thread>

#include "testkit/mgmt-server/HttpSession.h"
#include "testkit/mgmt-server/SelfSignedCertificate.h"
#include "testkit/mgmt-server/ServerContext.h"
#include "testkit/mgmt-server/ServerLog.h"

namespace testkit {

namespace net = boost::asio;
using tcp = net::ip::tcp;

struct MgmtServer::Impl {
  explicit Impl(const MgmtServerOptions& options)
      : recorder(std::make_shared<mgmt::Recorder>()),
        context(std::make_shared<mgmt::ServerContext>(recorder, options.tls)),
        tls(options.tls) {
    // Made in plain mode too: the agent's package download speaks TLS to a plain server.
    mgmt::SelfSignedCertificate certificate = mgmt::MakeSelfSignedCertificate();
    certificatePem = certificate.certificatePem;
    net::ssl::context& ssl = context->tls;
    ssl.set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                    net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                    net::ssl::context::no_tlsv1_1);
    SSL_CTX_set_min_proto_version(ssl.native_handle(), TLS1_2_VERSION);
    ssl.use_certificate_chain(net::buffer(certificate.certificatePem));
    ssl.use_private_key(net::buffer(certificate.privateKeyPem), net::ssl::context::pem);

    tcp::endpoint endpoint(net::ip::address_v4::loopback(), options.port);
    acceptor.open(endpoint.protocol());
    // Tests restart a server on the port of the one they stopped.
    acceptor.set_option(net::socket_base::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen();
    port = acceptor.local_endpoint().port();

    Accept();
    thread = std::thread([this] { Run(); });
  }

  void Run() {
    for (;;) {
      try {
        io.run();
        return;
      } catch (const std::exception& e) {
        mgmt::LogLine(std::string("I/O thread caught: ") + e.what());
      }
    }
  }

  void Accept() {
    acceptor.async_accept([this](boost::system::error_code ec, tcp::socket socket) {
      if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
      if (ec) {
        mgmt::LogLine("accept failed: " + ec.message());
      } else if (recorder->Silent()) {
        mgmt::HoldSilently(context, std::move(socket));
      } else {
        boost::system::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        mgmt::StartHttpSession(context, std::move(socket));
      }
      Accept();
    });
  }

  // Runs fn on the I/O thread and waits for it.
  template <class Fn>
  void RunOnIoThread(Fn fn) {
    std::promise<void> done;
    net::post(io, [&] {
      fn();
      done.set_value();
    });
    done.get_future().wait();
  }

  bool SendToAll(mgmt::Outgoing message) {
    if (recorder->OpenConnections() == 0) return false;
    auto shared = std::make_shared<const mgmt::Outgoing>(std::move(message));
    net::post(io, [context = context, shared] { context->connections.SendToAll(shared); });
    return true;
  }

  std::shared_ptr<mgmt::Recorder> recorder;
  std::shared_ptr<mgmt::ServerContext> context;
  bool tls;
  std::string certificatePem;
  net::io_context io{1};
  net::executor_work_guard<net::io_context::executor_type> work = net::make_work_guard(io);
  tcp::acceptor acceptor{io};
  std::uint16_t port = 0;
  std::thread thread;
};

MgmtServer::MgmtServer(MgmtServerOptions options) : m_impl(std::make_unique<Impl>(options)) {}

MgmtServer::~MgmtServer() {
  // Everything closes on the I/O thread; its run() then returns once the aborted operations
  // have finished, so no session outlives the thread.
  net::post(m_impl->io, [impl = m_impl.get()] {
    boost::system::error_code ignored;
    impl->acceptor.close(ignored);
    impl->context->connections.CloseForGood();
    impl->work.reset();
  });
  m_impl->thread.join();
}

std::uint16_t MgmtServer::Port() const { return m_impl->port; }

std::string MgmtServer::CertificatePem() const {
  return m_impl->tls ? m_impl->certificatePem : std::string();
}

std::vector<MgmtUpgrade> MgmtServer::Upgrades() const { return m_impl->recorder->Upgrades(); }
std::vector<MgmtMessage> MgmtServer::Messages() const { return m_impl->recorder->Messages(); }
std::vector<MgmtUpgrade> MgmtServer::UpgradesSince(std::size_t first) const {
  return m_impl->recorder->Upgrades(first);
}
std::vector<MgmtMessage> MgmtServer::MessagesSince(std::size_t first) const {
  return m_impl->recorder->Messages(first);
}
std::size_t MgmtServer::OpenConnections() const { return m_impl->recorder->OpenConnections(); }
std::size_t MgmtServer::TlsHandshakes() const { return m_impl->recorder->TlsHandshakes(); }
std::vector<std::uint16_t> MgmtServer::CloseCodes() const {
  return m_impl->recorder->CloseCodes();
}

bool MgmtServer::WaitForUpgrades(std::size_t n, std::chrono::milliseconds limit) const {
  return m_impl->recorder->WaitForUpgrades(n, limit);
}
bool MgmtServer::WaitForMessages(std::size_t n, std::chrono::milliseconds limit) const {
  return m_impl->recorder->WaitForMessages(n, limit);
}
bool MgmtServer::WaitForMessageContaining(const std::string& part,
                                          std::chrono::milliseconds limit) const {
  return m_impl->recorder->WaitForMessageContaining(part, limit);
}
bool MgmtServer::WaitForCloseCodes(std::size_t n, std::chrono::milliseconds limit) const {
  return m_impl->recorder->WaitForCloseCodes(n, limit);
}

bool MgmtServer::SendText(const std::string& text) { return m_impl->SendToAll({true, {text}}); }
bool MgmtServer::SendTextInFrames(const std::vector<std::string>& parts) {
  return m_impl->SendToAll({true, parts});
}
bool MgmtServer::SendBinary(const std::string& data) { return m_impl->SendToAll({false, {data}}); }

bool MgmtServer::SendTextTo(const std::string& sn, const std::string& text) {
  auto message = std::make_shared<const mgmt::Outgoing>(mgmt::Outgoing{true, {text}});
  std::size_t sent = 0;
  m_impl->RunOnIoThread([&] { sent = m_impl->context->connections.SendTo(sn, message); });
  return sent > 0;
}

void MgmtServer::DropConnections() {
  m_impl->RunOnIoThread([impl = m_impl.get()] { impl->context->connections.AbortAll(); });
}

void MgmtServer::SetRefuseUpgrades(bool refuse) { m_impl->recorder->SetRefuseUpgrades(refuse); }
void MgmtServer::SetSilent(bool silent) { m_impl->recorder->SetSilent(silent); }

void MgmtServer::ServePackage(const std::string& name, const std::string& bytes) {
  m_impl->recorder->ServePackage(name, bytes);
}
std::vector<std::string> MgmtServer::PackageRequests() const {
  return m_impl->recorder->PackageRequests();
}

}  // namespace testkit
