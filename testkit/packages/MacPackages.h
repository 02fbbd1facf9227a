// Update packages as the macOS agent receives them: zip archives whose program starts the
// installer double (MacInstallerProgram) under a script.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace testkit::packages {

enum class MacPackageKind {
  Bundle,      // Installer.app/Contents/MacOS/Installer
  Bare,        // an executable "update" beside a readme.txt
  ReadmeOnly,  // readme.txt and nothing to run
  Hostile,     // the bundle beside "../escape.txt" and "/abs.txt"
};

// "app", "bare", "readme", "hostile"; nullopt for any other name.
std::optional<MacPackageKind> MacPackageKindNamed(std::string_view name);

// The archive's bytes; the program starts the double at installerProgram under scriptJson
// (empty: the typical run). Throws std::runtime_error when the archive cannot be made.
std::string MacInstallerZip(MacPackageKind kind, const std::string& installerProgram, const std::string& scriptJson);

}  // namespace testkit::packages
