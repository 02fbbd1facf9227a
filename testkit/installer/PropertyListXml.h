// JSON as an XML property list, the form in which the macOS doubles hand what a script or a
// command line says to CoreFoundation: objects become dictionaries, arrays arrays, texts
// strings, integers and reals numbers, booleans booleans.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace testkit {

// The whole XML document. Throws std::invalid_argument for what a property list cannot hold:
// null, an integer beyond 64 signed bits, a control character other than tab and newline.
std::string PropertyListXml(const nlohmann::json& value);

}  // namespace testkit
