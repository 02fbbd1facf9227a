// post-usb-event: tells the Mac of TARVIK_MAC_ROOT that a USB device has arrived or gone, as
// plugging it in or pulling it out would.
#include <cstdio>
#include <cstring>

#include "platform/macos/UsbDeviceEvents.h"

int main(int argc, char** argv) {
  const bool arrival = argc == 3 && std::strcmp(argv[1], "arrival") == 0;
  const bool removal = argc == 3 && std::strcmp(argv[1], "removal") == 0;
  if ((!arrival && !removal) || argv[2][0] == '\0') {
    std::fputs("usage: post-usb-event arrival|removal NAME\n", stderr);
    return 2;
  }
  macstandin::AnnounceUsbDevice(arrival, argv[2]);
  return 0;
}
