#include "moncontrol/macos/MacApi.h"

// The header is packed and the wire order is the machine's, so the report itself is the record.
tagMCCMD_RECEIVE_HEADER* GetMccmdHeader(std::uint8_t* report) {
  return reinterpret_cast<tagMCCMD_RECEIVE_HEADER*>(report);
}
