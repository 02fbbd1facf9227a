// What the installer double does, read from the image it is started with. A test image
// carries InstallerScriptPayload(json) anywhere in its bytes; the JSON text:
//
//   {"steps": [...], "exitCode": 0}
//
// Steps run in order:
//   {"type": 2, "text": "SN1", "value": 50}  a record (type 0..255; text and value optional)
//   {"raw": "0100ff"}                         a message of exactly these bytes, in hex
//   {"pause": 250}                            a pause in milliseconds
//   {"waitForFile": "/tmp/go"}                a wait (of at most a minute) until the file exists
//   {"eachSerial": [steps]}                   the steps for every serial number after "-sn",
//                                             "$sn" in their texts standing for it
// Without "steps" the installer runs as a typical one: a start record, progress 0, 50 and 100
// for each serial number, an end record, then an exit record with 8888. "exitCode" (0..255,
// default 0) is the process's exit code.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace testkit {

inline constexpr std::string_view kInstallerScriptMarker = "TARVIK-INSTALLER-SCRIPT\n";

// The marker, the JSON text and the NUL that ends it.
std::string InstallerScriptPayload(const std::string& json);

// A message to write to the pipe; when it is empty, a pause, or a wait for a file when one is
// named.
struct InstallerAction {
  std::string message;
  std::chrono::milliseconds pause{0};
  std::string awaitedFile{};
};

struct InstallerPlan {
  std::vector<InstallerAction> actions;
  int exitCode = 0;
};

// The plan of the image's script, or of the typical run when the image carries none. Throws
// std::invalid_argument for a script that cannot be followed.
InstallerPlan PlanForImage(std::string_view image, const std::vector<std::string>& serials);

}  // namespace testkit
