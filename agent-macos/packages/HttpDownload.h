// One HTTP GET whose body goes straight to a file. Any server certificate is accepted and the
// status is not examined: the body is written whatever it is.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "agent-macos/connection/ServerURL.h"

namespace packages {

struct HttpDownloadLimits {
  // Each step (resolve, connect, handshake, request, every read) must end within this.
  std::chrono::milliseconds progress = std::chrono::seconds(30);
  std::uint64_t maxBodyBytes = std::uint64_t{1} << 31;
};

// None when the whole body is in file (created or replaced); otherwise the error's
// description, and file may hold part of the body.
std::optional<std::string> httpDownload(const ServerURL& url, const std::filesystem::path& file,
                                        const HttpDownloadLimits& limits = {});

}  // namespace packages
