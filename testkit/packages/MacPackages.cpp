#include "testkit/packages/MacPackages.h"

#include <vector>

#include "testkit/installer/MacScript.h"
#include "testkit/packages/Zip.h"

namespace testkit::packages {

namespace {

constexpr unsigned kFolder = 040755;
constexpr unsigned kExecutable = 0100755;
constexpr unsigned kPlainFile = 0100644;

const ZipEntry kReadme{"readme.txt", "Tarvik test package\n", kPlainFile};

std::vector<ZipEntry> BundleEntries(const std::string& program) {
  return {{"Installer.app/", "", kFolder},
          {"Installer.app/Contents/", "", kFolder},
          {"Installer.app/Contents/MacOS/", "", kFolder},
          {"Installer.app/Contents/MacOS/Installer", program, kExecutable}};
}

std::vector<ZipEntry> EntriesOf(MacPackageKind kind, const std::string& program) {
  switch (kind) {
    case MacPackageKind::Bundle: return BundleEntries(program);
    case MacPackageKind::Bare: return {{"update", program, kExecutable}, kReadme};
    case MacPackageKind::ReadmeOnly: return {kReadme};
    case MacPackageKind::Hostile: {
      std::vector<ZipEntry> entries = {{"../escape.txt", "climbed out\n", kPlainFile},
                                       {"/abs.txt", "absolute\n", kPlainFile}};
      for (ZipEntry& entry : BundleEntries(program)) entries.push_back(std::move(entry));
      return entries;
    }
  }
  return {};
}

}  // namespace

std::optional<MacPackageKind> MacPackageKindNamed(std::string_view name) {
  if (name == "app") return MacPackageKind::Bundle;
  if (name == "bare") return MacPackageKind::Bare;
  if (name == "readme") return MacPackageKind::ReadmeOnly;
  if (name == "hostile") return MacPackageKind::Hostile;
  return std::nullopt;
}

std::string MacInstallerZip(MacPackageKind kind, const std::string& installerProgram, const std::string& scriptJson) {
  return MakeZip(EntriesOf(kind, MacInstallerProgram(installerProgram, scriptJson)));
}

}  // namespace testkit::packages
