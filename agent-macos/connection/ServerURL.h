// The address of a server the agent reaches (its WebSocket, its package downloads): what the
// platform's URL parser makes of the text the agent builds, or nothing when it refuses the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ServerURL {
  enum class HostKind { Name, IPv4, IPv6 };

  std::string text;     // as given, for the log
  bool secure = false;  // "wss" or "https"
  std::string host;     // an IPv6 literal without its brackets
  HostKind hostKind = HostKind::Name;
  std::uint16_t port = 0;
  std::string target;  // path and query, "/" when the text has none; never the fragment

  // "host:port", an IPv6 literal in brackets: the Host of the upgrade request.
  std::string Authority() const;
};

// Schemes "ws" and "wss" only; the port defaults to the scheme's. Refuses a missing or empty
// host, characters a URL cannot hold there (spaces among them), and a port that is not a
// decimal number from 0 to 65535.
std::optional<ServerURL> ParseWebSocketURL(std::string_view text);
// The same for the schemes "http" and "https" (secure).
std::optional<ServerURL> ParseHttpURL(std::string_view text);
