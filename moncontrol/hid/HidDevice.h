// The layer's open-device record.
#pragma once

#include <memory>
#include <string>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/hid/HidBackend.h"

namespace mchid {

struct hid_device_ {
  long long systemHandle = -1;  // first, where the system's own record keeps its handle
  std::unique_ptr<HidConnection> connection;
  std::shared_ptr<HidBackend> backend;  // keeps the backend alive while the device is open
  bool nonblocking = false;
  std::wstring lastError;
};

// The backend used when none was installed: chosen by the environment.
std::shared_ptr<HidBackend> DefaultHidBackend();

}  // namespace mchid
