#include "agent-macos/connection/ServerURL.h"

#include <algorithm>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/ip/address_v6.hpp>

namespace {

// What DNS and the TLS server name can carry.
constexpr std::size_t kMaxHostLength = 255;

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// A host name as a URL holds it (unreserved and sub-delimiters). Percent escapes are refused:
// the resolver would need them decoded, and no server name needs one.
bool IsHostChar(char c) { return IsAsciiAlnum(c) || IsOneOf(c, "-._~!$&'()*+,;="); }

// Path, query and fragment: the URL's path characters, "/" and "?", "%" only as an escape.
bool IsValidTail(std::string_view tail) {
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char c = tail[i];
    if (c == '%') {
      if (tail.size() - i < 3 || !IsHexDigit(tail[i + 1]) || !IsHexDigit(tail[i + 2]))
        return false;
      i += 2;
    } else if (!IsAsciiAlnum(c) && !IsOneOf(c, "-._~!$&'()*+,;=:@/?")) {
      return false;
    }
  }
  return true;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  return std::equal(text.begin(), text.end(), lower.begin(), lower.end(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
  });
}

// Empty digits ("host:") name no port, so the scheme's applies.
std::optional<std::uint16_t> ParsePort(std::string_view digits, std::uint16_t schemeDefault) {
  if (digits.empty()) return schemeDefault;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

bool ParseAuthority(std::string_view authority, std::uint16_t schemeDefault, ServerURL& url) {
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    const std::string_view literal = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return false;
    // No zone: the agent is given server addresses, not links.
    if (literal.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
      return false;
    boost::system::error_code ec;
    boost::asio::ip::make_address_v6(std::string(literal).c_str(), ec);
    if (ec) return false;
    url.host = literal;
    url.hostKind = ServerURL::HostKind::IPv6;
    port = after.empty() ? after : after.substr(1);
  } else {
    const std::size_t colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (host.empty() || host.size() > kMaxHostLength ||
        !std::all_of(host.begin(), host.end(), IsHostChar))
      return false;
    url.host = host;
    boost::system::error_code ec;
    boost::asio::ip::make_address_v4(url.host.c_str(), ec);
    url.hostKind = ec ? ServerURL::HostKind::Name : ServerURL::HostKind::IPv4;
    port = colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
  }
  const std::optional<std::uint16_t> number = ParsePort(port, schemeDefault);
  if (!number) return false;
  url.port = *number;
  return true;
}

}  // namespace

std::string ServerURL::Authority() const {
  const std::string name = hostKind == HostKind::IPv6 ? "[" + host + "]" : host;
  return name + ":" + std::to_string(port);
}

namespace {

// plain and secure name the two schemes the text may start with.
std::optional<ServerURL> ParseURL(std::string_view text, std::string_view plain, std::string_view secure) {
  const std::size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string_view::npos) return std::nullopt;
  const std::string_view scheme = text.substr(0, schemeEnd);
  ServerURL url;
  if (EqualsIgnoringCase(scheme, secure)) {
    url.secure = true;
  } else if (!EqualsIgnoringCase(scheme, plain)) {
    return std::nullopt;
  }

  const std::string_view rest = text.substr(schemeEnd + 3);
  const std::size_t tailStart = rest.find_first_of("/?#");
  if (!ParseAuthority(rest.substr(0, tailStart), url.secure ? 443 : 80, url)) return std::nullopt;

  const std::string_view tail =
      tailStart == std::string_view::npos ? std::string_view() : rest.substr(tailStart);
  const std::size_t hash = tail.find('#');
  const std::string_view pathAndQuery = tail.substr(0, hash);
  const std::string_view fragment =
      hash == std::string_view::npos ? std::string_view() : tail.substr(hash + 1);
  if (!IsValidTail(pathAndQuery) || !IsValidTail(fragment)) return std::nullopt;
  // The fragment stays with the client, as in any HTTP request.
  url.target = pathAndQuery.empty() || pathAndQuery.front() != '/' ? "/" + std::string(pathAndQuery)
                                                                    : std::string(pathAndQuery);
  url.text = text;
  return url;
}

}  // namespace

std::optional<ServerURL> ParseWebSocketURL(std::string_view text) { return ParseURL(text, "ws", "wss"); }

std::optional<ServerURL> ParseHttpURL(std::string_view text) { return ParseURL(text, "http", "https"); }
