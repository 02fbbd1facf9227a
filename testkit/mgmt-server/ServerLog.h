// One line on stderr for what the server notices about its peers (bad requests, lost
// connections), so a failing test shows what the agent did.
#pragma once

#include <string>

namespace testkit::mgmt {

void LogLine(const std::string& text);

}  // namespace testkit::mgmt
