#include "moncontrol/hid/HidDevice.h"

namespace mchid {

// No backend is chosen by the environment yet: nothing is enumerated.
std::shared_ptr<HidBackend> DefaultHidBackend() { return nullptr; }

}  // namespace mchid
