// The computer's name as the system gives it to users: the "SN" header of the connection and
// "hostName" of the reports.
#pragma once

#include <optional>
#include <string>

// None when the system gives no name.
std::optional<std::string> computerName();
