// How USB devices come and go on the stand-in machine. Not part of the IOKit shape: monsim and
// the testkit tools announce devices here, and IOKit's matching notifications report them.
#pragma once

#include <string>

namespace macstandin {

// Tells every process of the machine (the same TARVIK_MAC_ROOT) that the USB device name has
// arrived or gone. A machine on which no process watches USB devices gets nothing.
void AnnounceUsbDevice(bool arrived, const std::string& name);

}  // namespace macstandin
