#include "agent-macos/connection/ServerURL.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = ServerURL::HostKind;

struct Good {
  std::string text;
  bool secure;
  std::string host;
  Kind kind;
  std::uint16_t port;
  std::string target;
  std::string authority;
};

TEST(ServerURLTest, TakesWhatTheAgentBuildsAndWhatAURLMayHold) {
  const std::vector<Good> cases = {
      {"ws://mgmt.example.com:8080/tarvik/ws", false, "mgmt.example.com", Kind::Name, 8080,
       "/tarvik/ws", "mgmt.example.com:8080"},
      {"wss://10.0.0.5:443//ws", true, "10.0.0.5", Kind::IPv4, 443, "//ws", "10.0.0.5:443"},
      {"ws://[::1]:9000/f/ws", false, "::1", Kind::IPv6, 9000, "/f/ws", "[::1]:9000"},
      {"wss://[2001:db8::7]/ws", true, "2001:db8::7", Kind::IPv6, 443, "/ws", "[2001:db8::7]:443"},
      {"ws://server/ws", false, "server", Kind::Name, 80, "/ws", "server:80"},
      {"wss://server", true, "server", Kind::Name, 443, "/", "server:443"},
      {"ws://server:/ws", false, "server", Kind::Name, 80, "/ws", "server:80"},
      {"WSS://Server:1/ws", true, "Server", Kind::Name, 1, "/ws", "Server:1"},
      {"ws://h:0/ws", false, "h", Kind::Name, 0, "/ws", "h:0"},
      {"ws://h:65535/ws", false, "h", Kind::Name, 65535, "/ws", "h:65535"},
      {"ws://h:000080/ws", false, "h", Kind::Name, 80, "/ws", "h:80"},
      {"ws://h:1/a/ws?x=1&y=%2F#part", false, "h", Kind::Name, 1, "/a/ws?x=1&y=%2F", "h:1"},
      {"ws://h:1?x", false, "h", Kind::Name, 1, "/?x", "h:1"},
      {"ws://my-server_2.local~:1/caf%C3%A9/ws", false, "my-server_2.local~", Kind::Name, 1,
       "/caf%C3%A9/ws", "my-server_2.local~:1"},
      // Not a dotted quad: the resolver decides what it is.
      {"ws://127.1:1/ws", false, "127.1", Kind::Name, 1, "/ws", "127.1:1"},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<ServerURL> url = ParseWebSocketURL(c.text);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->text, c.text);
    EXPECT_EQ(url->secure, c.secure);
    EXPECT_EQ(url->host, c.host);
    EXPECT_EQ(url->hostKind, c.kind);
    EXPECT_EQ(url->port, c.port);
    EXPECT_EQ(url->target, c.target);
    EXPECT_EQ(url->Authority(), c.authority);
  }
}

TEST(ServerURLTest, RefusesWhatNoURLCanBe) {
  const std::vector<std::string> cases = {
      "",
      "http://h:80/ws",
      "wsx://h:80/ws",
      "ws:/h:80/ws",
      "ws:h:80/ws",
      " ws://h:80/ws",
      "ws://",
      "ws://:80/ws",
      "ws:///ws",
      "ws://my host:80/ws",
      "ws://host :80/ws",
      "ws://user@h:80/ws",
      "ws://h%41:80/ws",
      "ws://h\xC3\xA9:80/ws",
      "ws://h\r\nX:80/ws",
      "ws://" + std::string(256, 'a') + ":80/ws",
      "ws://h:65536/ws",
      "ws://h:-1/ws",
      "ws://h:+80/ws",
      "ws://h:8o/ws",
      "ws://h:80:81/ws",
      "ws://h:99999999999999999999/ws",
      "ws://[::1/ws",
      "ws://[::1]x:80/ws",
      "ws://[]:80/ws",
      "ws://[not-an-address]:80/ws",
      "ws://[fe80::1%25eth0]:80/ws",
      "ws://[127.0.0.1]:80/ws",
      "ws://h:80/my folder/ws",
      "ws://h:80/ws\r\nX-Injected: 1",
      "ws://h:80/caf\xC3\xA9/ws",
      "ws://h:80/%zz/ws",
      "ws://h:80/ws%4",
      "ws://h:80/ws#a#b",
      "ws://h:80/{folder}/ws",
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(ParseWebSocketURL(text).has_value()) << text;
  }
}

// The package download's URLs: the same parser, its own two schemes.
TEST(ServerURLTest, HttpURLsTakeOnlyTheirOwnSchemes) {
  const std::optional<ServerURL> secure = ParseHttpURL("https://h:8443/tarvik/model/p?filename=a.zip");
  ASSERT_TRUE(secure.has_value());
  EXPECT_TRUE(secure->secure);
  EXPECT_EQ(secure->Authority(), "h:8443");
  EXPECT_EQ(secure->target, "/tarvik/model/p?filename=a.zip");
  const std::optional<ServerURL> plain = ParseHttpURL("http://h/x");
  ASSERT_TRUE(plain.has_value());
  EXPECT_FALSE(plain->secure);
  EXPECT_EQ(plain->port, 80);
  for (const char* text : {"ws://h:80/x", "wss://h/x", "https://h/p?filename=a b.zip", "ftp://h/x"})
    EXPECT_FALSE(ParseHttpURL(text).has_value()) << text;
}

}  // namespace
