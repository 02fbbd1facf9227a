// Hands a request whose signature checked out to the family of its command type.
#pragma once

#include "testkit/monsim/Messages.h"
#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

// monitor is the monitor's live state, which Set requests change.
Reply HandleRequest(const Request& request, MonitorDescription& monitor);

}  // namespace monsim
