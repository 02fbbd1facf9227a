#include "testkit/installer/PropertyListXml.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace testkit {

namespace {

using nlohmann::json;

void AppendText(const std::string& text, std::string& xml) {
  for (char c : text) {
    switch (c) {
      case '&': xml += "&amp;"; break;
      case '<': xml += "&lt;"; break;
      case '>': xml += "&gt;"; break;
      default:
        // XML has no form for the other control characters, and a reader turns a carriage
        // return into a newline.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
          throw std::invalid_argument("a text holds a control character a property list cannot carry");
        xml.push_back(c);
    }
  }
}

void AppendElement(const char* tag, const std::string& text, std::string& xml) {
  xml += std::string("<") + tag + ">";
  AppendText(text, xml);
  xml += std::string("</") + tag + ">";
}

std::string RealText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void AppendValue(const json& value, std::string& xml) {
  switch (value.type()) {
    case json::value_t::object:
      xml += "<dict>";
      for (const auto& [key, member] : value.items()) {
        AppendElement("key", key, xml);
        AppendValue(member, xml);
      }
      xml += "</dict>";
      break;
    case json::value_t::array:
      xml += "<array>";
      for (const json& member : value) AppendValue(member, xml);
      xml += "</array>";
      break;
    case json::value_t::string: AppendElement("string", value.get<std::string>(), xml); break;
    case json::value_t::boolean: xml += value.get<bool>() ? "<true/>" : "<false/>"; break;
    case json::value_t::number_integer:
      AppendElement("integer", std::to_string(value.get<std::int64_t>()), xml);
      break;
    case json::value_t::number_unsigned:
      if (value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        throw std::invalid_argument("an integer beyond 64 signed bits: " + value.dump());
      AppendElement("integer", std::to_string(value.get<std::uint64_t>()), xml);
      break;
    case json::value_t::number_float: AppendElement("real", RealText(value.get<double>()), xml); break;
    default: throw std::invalid_argument("a property list has no " + std::string(value.type_name()));
  }
}

}  // namespace

std::string PropertyListXml(const json& value) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  AppendValue(value, xml);
  xml += "</plist>\n";
  return xml;
}

}  // namespace testkit
