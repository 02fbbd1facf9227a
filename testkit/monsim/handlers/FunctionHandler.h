// Function calls (command type 4) as the monitor takes them: param1 the function code, param2
// to param4 values both ways, data both ways. Each function is sent as its definition says:
// whole, without reply, or split into chunks whose param4 holds the total in its low 16 bits
// and the chunk's offset in its high ones (0xFFFF for the last chunk). The monitor puts a
// split transfer back together, checking that every chunk continues it, before it takes the
// call; a chunk at offset 0 starts the transfer again. A function it does not know, or a chunk
// out of place, refuses.
#pragma once

#include "testkit/monsim/Messages.h"
#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

Reply AnswerFunctionRequest(const Request& request, Functions& functions);

}  // namespace monsim
