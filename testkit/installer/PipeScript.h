// The reports of the Windows installer double, written to the agent's progress pipe:
//   {"type": 2, "text": "SN1", "value": 50}  a record (type 0..255; text and value optional)
//   {"raw": "0100ff"}                         a message of exactly these bytes, in hex
// Without "steps" the installer runs as a typical one: a start record, progress 0, 50 and 100
// for each serial number, an end record, then an exit record with 8888.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "testkit/installer/InstallerScript.h"

namespace testkit {

// The plan of the image's script (InstallerScript.h), or of the typical run when the image
// carries none. Throws std::invalid_argument for a script that cannot be followed.
InstallerPlan PlanForImage(std::string_view image, const std::vector<std::string>& serials);

}  // namespace testkit
