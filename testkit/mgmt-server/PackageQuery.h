// The package name a download request asks for: the "filename" parameter of its query.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace testkit::mgmt {

// The percent-decoded value of "filename=" in the target's query ("+" stays "+": the agent
// encodes a space as %20). nullopt when there is no such parameter or its encoding is broken.
std::optional<std::string> PackageNameFromTarget(std::string_view target);

}  // namespace testkit::mgmt
