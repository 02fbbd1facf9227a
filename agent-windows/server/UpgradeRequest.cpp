#include "agent-windows/server/UpgradeRequest.h"

#include <boost/beast/http/field.hpp>

void DecorateUpgradeRequest(boost::beast::websocket::request_type& request, const std::string& sn) {
  request.set(boost::beast::http::field::user_agent, kUserAgent);
  request.set(boost::beast::http::field::host, kPlaceholderHost);
  request.set("SN", sn);
}
