// The fields the agent sets on its WebSocket upgrade request.
#pragma once

#include <string>

#include <boost/beast/websocket/rfc6455.hpp>

// Servers must not depend on the Host header: every agent sends this one.
inline constexpr const char* kPlaceholderHost = "tarvik.management";
inline constexpr const char* kUserAgent = "MyCustomUserAgent";
// What a TLS connection sends as "SN" in place of the computer name.
inline constexpr const char* kTlsSerialName = "MyComputerName";

// Sets "User-Agent", Host and "SN", in that order.
void DecorateUpgradeRequest(boost::beast::websocket::request_type& request, const std::string& sn);
