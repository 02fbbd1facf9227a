#include "agent-macos/packages/DownloadPackage.h"

#include <exception>
#include <memory>
#include <optional>
#include <system_error>

#include "agent-macos/log/Log.h"
#include "agent-macos/packages/HttpDownload.h"
#include "agent-macos/packages/InstallPackage.h"
#include "agent-macos/packages/PackageFileName.h"
#include "agent-macos/packages/TemporaryFolder.h"
#include "platform/macos/Dispatch.h"

namespace Utils {
namespace {

struct Download {
  ServerURL url;
  std::vector<std::string> arguments;
};

void runDownload(void* context) {
  const std::unique_ptr<Download> download(static_cast<Download*>(context));
  std::optional<packages::PackagePaths> paths;
  try {
    const std::string name = packageFileName(fileNameFromURL(download->url.text));
    paths = packages::PackagePaths::make(packages::agentTemporaryFolder(), name);
  } catch (const std::exception& e) {
    logError("File handling error: " + std::string(e.what()));
    return;
  }
  const std::optional<std::string> error = packages::httpDownload(download->url, paths->transfer);
  std::error_code ignored;
  if (error) std::filesystem::remove(paths->transfer, ignored);
  std::optional<std::filesystem::path> location;
  if (std::filesystem::exists(paths->transfer, ignored)) location = paths->transfer;
  installPackage(location, error, *paths, download->arguments);
}

}  // namespace

void downloadPackage(const ServerURL& url, const std::vector<std::string>& arguments) {
  dispatch_queue_t queue = dispatch_queue_create("com.quelmo.tarvik.packageDownload", DISPATCH_QUEUE_SERIAL);
  dispatch_async_f(queue, new Download{url, arguments}, runDownload);
  // The queue holds itself while the download runs.
  dispatch_release(queue);
}

}  // namespace Utils
