#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/macos/MacApi.h"

std::int32_t SetFuncCallbackByInfo(const tagMONCTRLINFO* info, FuncCallback callback) {
  if (info == nullptr) return MC_ERR_INVALID_ARG;
  return SetFuncCallback(static_cast<int>(info->vendor_id), static_cast<int>(info->product_id),
                         info->serial_number, callback);
}

std::int32_t StopMonCtrlListenerByInfo(const tagMONCTRLINFO* info) {
  if (info == nullptr) return MC_ERR_INVALID_ARG;
  return StopMonCtrlListener(MakeDeviceKey(info->vendor_id, info->product_id, info->serial_number).c_str());
}
