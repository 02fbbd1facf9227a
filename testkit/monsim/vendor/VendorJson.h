// The JSON form of a display's vendor state, the "vendor" member of a monitor or of a
// chained monitor in the monsim program's monitor file. Every key optional (defaults in
// VendorState.h); unknown keys are refused with JsonFormError:
//   {"status": 0, "tableChunk": 16, "fwTransferResult": 1, "daisyChainResults": [1, 1, 1, 1],
//    "monitorInfo": {"deviceCount": 1, "i2cBufSize": 32, "modelName": "Q27", "specialID": "",
//                    "vendorID": "QLM", "sn": "S1", "debugVersion": 3, "releaseVersion": 105},
//    "children": [{"type": 1, "ispID": 2, "fwID": "", "fwVer": "", "sn": "", "ultraData": ""}]}
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "testkit/monsim/vendor/VendorState.h"

namespace monsim {

VendorState ParseVendorState(const nlohmann::json& value, const std::string& where);

}  // namespace monsim
