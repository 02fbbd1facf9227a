#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Services.h"

namespace win32 {
namespace {

// A service has no console: its output goes to a file beside its record instead.
void SendOutputToServiceFile(const std::wstring& name) {
  int fd = open(ServiceOutputPath(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (input >= 0) {
    dup2(input, STDIN_FILENO);
    close(input);
  }
  if (fd < 0) return;
  dup2(fd, STDOUT_FILENO);
  dup2(fd, STDERR_FILENO);
  close(fd);
}

struct ServiceIdentity {
  bool isService = false;
  std::wstring name;

  ServiceIdentity() {
    const char* marker = std::getenv(kServiceProcessVariable);
    if (marker == nullptr || *marker == '\0') return;
    isService = true;
    name = Utf8ToWide(marker);
    // Programs that the service starts are not services themselves.
    unsetenv(kServiceProcessVariable);
    SendOutputToServiceFile(name);
  }
};

ServiceIdentity& Identity() {
  static ServiceIdentity identity;
  return identity;
}

// Before main, while there is one thread, so that unsetenv cannot race a getenv.
[[maybe_unused]] const bool g_identityTaken = (Identity(), true);

}  // namespace

const std::wstring* OwnServiceName() {
  return Identity().isService ? &Identity().name : nullptr;
}

bool CallerIsAdministrator() {
  if (Identity().isService) return true;
  const char* notAdmin = std::getenv(kNotAdministratorVariable);
  return notAdmin == nullptr || std::string(notAdmin) != "1";
}

}  // namespace win32
