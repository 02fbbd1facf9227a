// The device source the stand-in's HID calls use now (see HidDeviceSource.h); null for none.
#pragma once

#include <memory>

#include "moncontrol/hid/HidBackend.h"

namespace macstandin {

std::shared_ptr<mchid::HidBackend> CurrentHidDeviceSource();

}  // namespace macstandin
