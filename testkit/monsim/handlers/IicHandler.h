// The monitor's internal I2C bus as I2C requests (command type 1) reach it: param1 the slave
// address, param2 the register offset, param4 0 for a read of param3 bytes and 1 for a write
// of the payload. A slave that is not on the bus, or registers beyond its own, refuse.
#pragma once

#include "testkit/monsim/Messages.h"
#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

Reply AnswerIicRequest(const Request& request, IicRegisters& registers);

}  // namespace monsim
