#include "agent-macos/testing/Plist.h"

namespace agentmactest {
namespace {

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string PlistString(const std::string& text) { return "<string>" + Escaped(text) + "</string>"; }

std::string PlistInteger(long long value) { return "<integer>" + std::to_string(value) + "</integer>"; }

std::string PlistDict(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string dict = "<dict>";
  for (const auto& [key, value] : members) dict += "<key>" + Escaped(key) + "</key>" + value;
  return dict + "</dict>";
}

std::string PlistArray(const std::vector<std::string>& elements) {
  std::string array = "<array>";
  for (const std::string& element : elements) array += element;
  return array + "</array>";
}

std::string XmlPlist(const std::string& root) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">" +
         root + "</plist>\n";
}

std::string MobileConfig(const std::vector<std::pair<std::string, std::string>>& payload) {
  return XmlPlist(PlistDict({{"PayloadContent", PlistArray({PlistDict(payload)})},
                             {"PayloadType", PlistString("Configuration")}}));
}

}  // namespace agentmactest
