// One readable line for a message the agent sent, for a person watching the demo: who is
// reported, what changed, what a command did, how far an update is.
#pragma once

#include <string>

#include "testkit/mgmt-server/MgmtServer.h"

namespace testkit {

// The summary of an agent message; the text itself when it is no message this server knows.
std::string SummarizeAgentMessage(const std::string& text);

// The summary marked with the agent that sent it, the "SN" of the upgrade that opened its
// connection: "[PC-07] answer to command 7: ok"; "[no SN]" when it sent none.
std::string SummaryLine(const MgmtUpgrade& upgrade, const std::string& text);

}  // namespace testkit
