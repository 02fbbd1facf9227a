// How an installer on the Mac tells the agent its progress: the distributed notification
// "InstallProgressUpdate", or the "installStatus" key of the app group the two share
// ("group.com.quelmo.tarvik").
#pragma once

#include "testkit/installer/InstallerScript.h"

namespace testkit {

// Sends a report of MacReport (MacScript.h) its way; false, after a line on stderr, when it
// could not be sent.
bool SendProgress(const InstallerAction& report);

}  // namespace testkit
