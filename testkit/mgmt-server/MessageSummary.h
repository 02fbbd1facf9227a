// One readable line for a message the agent sent, for a person watching the demo: who is
// reported, what changed, what a command did, how far an update is.
#pragma once

#include <string>

namespace testkit {

// The summary of an agent message; the text itself when it is no message this server knows.
std::string SummarizeAgentMessage(const std::string& text);

}  // namespace testkit
