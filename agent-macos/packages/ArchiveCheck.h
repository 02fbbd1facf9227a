// What an archive must be before it is unpacked: every entry lands inside the unpack folder,
// and none is a link that could lead out of it later.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace packages {

inline constexpr std::string_view kNotAZip = "not a zip archive";

// None when the archive is a zip whose entries are all safe; otherwise why it is refused (an
// absolute name, a ".." component with either slash, a link entry, or no readable zip).
std::optional<std::string> archiveFault(const std::filesystem::path& archive);

}  // namespace packages
