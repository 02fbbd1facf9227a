// mgmt-server: the management server double as a program, for the demo. Prints one line per
// upgrade, message and package request it gets; sends each line read from stdin as a text
// message to every open connection, or to one agent's (InputLine.h).
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testkit/mgmt-server/InputLine.h"
#include "testkit/mgmt-server/MessageSummary.h"
#include "testkit/mgmt-server/MgmtServer.h"

namespace {

void Usage() {
  std::cerr << "usage: mgmt-server [--port N] [--tls] [--cert-out FILE] [--package NAME=FILE]... [--summary]\n"
               "  --port N             listen on 127.0.0.1:N (default 8080; 0 picks a free port)\n"
               "  --tls                require TLS (a self-signed certificate for localhost)\n"
               "  --cert-out FILE      write the TLS certificate (PEM) to FILE\n"
               "  --package NAME=FILE  serve FILE as the package NAME\n"
               "  --summary            print the agent's messages as readable summaries, each marked\n"
               "                       with the SN its agent sent\n"
               "Lines on stdin are sent as text messages to every open connection; \"@SN TEXT\" sends\n"
               "TEXT to the connections of the agent that sent that SN only.\n";
}

// One line per event: control characters would break it, so they are escaped.
std::string Printable(const std::string& data, bool text) {
  std::ostringstream out;
  if (!text) {
    out << data.size() << " bytes:";
    static const char* digits = "0123456789abcdef";
    for (unsigned char c : data) out << ' ' << digits[c >> 4] << digits[c & 15];
    return out.str();
  }
  for (unsigned char c : data) {
    if (c == '\\') {
      out << "\\\\";
    } else if (c == '\n') {
      out << "\\n";
    } else if (c == '\r') {
      out << "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      static const char* digits = "0123456789abcdef";
      out << "\\x" << digits[c >> 4] << digits[c & 15];
    } else {
      out << static_cast<char>(c);
    }
  }
  return out.str();
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  testkit::MgmtServerOptions options;
  options.port = 8080;
  std::string certOut;
  bool summary = false;
  std::vector<std::pair<std::string, std::string>> packages;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--tls") {
      options.tls = true;
    } else if (arg == "--summary") {
      summary = true;
    } else if (arg == "--port" && hasValue) {
      char* end = nullptr;
      errno = 0;
      unsigned long port = std::strtoul(argv[++i], &end, 10);
      if (errno != 0 || *end != '\0' || end == argv[i] || port > 65535) {
        std::cerr << "mgmt-server: bad port " << argv[i] << "\n";
        return 2;
      }
      options.port = static_cast<std::uint16_t>(port);
    } else if (arg == "--cert-out" && hasValue) {
      certOut = argv[++i];
    } else if (arg == "--package" && hasValue) {
      std::string spec = argv[++i];
      std::size_t eq = spec.find('=');
      if (eq == std::string::npos || eq == 0) {
        std::cerr << "mgmt-server: --package wants NAME=FILE, got " << spec << "\n";
        return 2;
      }
      packages.emplace_back(spec.substr(0, eq), spec.substr(eq + 1));
    } else {
      Usage();
      return 2;
    }
  }

  // Signals are taken by sigtimedwait below, so every thread must have them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    testkit::MgmtServer server(options);
    for (const auto& [name, path] : packages) {
      std::string bytes;
      if (!ReadFile(path, bytes)) {
        std::cerr << "mgmt-server: cannot read " << path << "\n";
        return 1;
      }
      server.ServePackage(name, bytes);
    }
    if (!certOut.empty()) {
      std::ofstream out(certOut, std::ios::binary);
      out << server.CertificatePem();
      if (!out) {
        std::cerr << "mgmt-server: cannot write " << certOut << "\n";
        return 1;
      }
    }
    std::cout << "port " << server.Port() << (options.tls ? " tls" : " plain") << std::endl;

    std::vector<testkit::MgmtUpgrade> upgrades;  // every one so far: the marks of their messages
    std::size_t messages = 0, packageRequests = 0;
    bool stdinOpen = true;
    std::string pending;
    auto printNew = [&] {
      // Messages first: the upgrade of every one of them is recorded before it, so it is among
      // the upgrades read after them.
      const std::vector<testkit::MgmtMessage> newMessages = server.MessagesSince(messages);
      for (const auto& upgrade : server.UpgradesSince(upgrades.size())) {
        upgrades.push_back(upgrade);
        std::cout << "upgrade " << Printable(upgrade.path, true);
        for (const auto& [name, value] : upgrade.headers)
          std::cout << " | " << name << ": " << Printable(value, true);
        std::cout << std::endl;
      }
      for (const auto& message : newMessages) {
        ++messages;
        if (summary && message.text)
          std::cout << Printable(testkit::SummaryLine(upgrades.at(message.upgrade), message.data), true)
                    << std::endl;
        else
          std::cout << (message.text ? "text " : "binary ") << Printable(message.data, message.text)
                    << std::endl;
      }
      auto requests = server.PackageRequests();
      for (; packageRequests < requests.size(); ++packageRequests)
        std::cout << "package " << Printable(requests[packageRequests], true) << std::endl;
    };
    for (;;) {
      printNew();

      // Wait a moment for stdin; the recorded events are picked up on the next round.
      pollfd in{STDIN_FILENO, POLLIN, 0};
      if (stdinOpen && poll(&in, 1, 50) > 0) {
        char chunk[4096];
        ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
          stdinOpen = false;
        } else {
          pending.append(chunk, static_cast<std::size_t>(n));
          for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            const testkit::InputLine line = testkit::ReadInputLine(pending.substr(0, nl));
            pending.erase(0, nl + 1);
            if (line.text.empty()) continue;
            if (!line.sn)
              std::cout << (server.SendText(line.text) ? "sent " : "not sent, no connection: ") << line.text
                        << std::endl;
            else if (server.SendTextTo(*line.sn, line.text))
              std::cout << "sent to " << *line.sn << ": " << line.text << std::endl;
            else
              std::cout << "not sent, no connection of " << *line.sn << ": " << line.text << std::endl;
          }
        }
      } else if (!stdinOpen) {
        usleep(50 * 1000);
      }
      timespec zero{0, 0};
      if (sigtimedwait(&stopSignals, nullptr, &zero) > 0) break;
    }
    printNew();  // what came in just before the signal
  } catch (const std::exception& e) {
    std::cerr << "mgmt-server: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
