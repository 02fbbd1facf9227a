// A service on the framework whose operations fail as its command line says:
// --start=N (and --stop, --pause, --continue, --shutdown) throws the error code N,
// --start=x throws something else; an operation not named succeeds.
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

#include "agent-windows/service/ServiceBase.h"

namespace {

std::map<std::string, std::string> g_failures;

void Act(const std::string& operation) {
  auto found = g_failures.find(operation);
  if (found == g_failures.end()) return;
  if (found->second == "x") throw std::runtime_error(operation);
  throw static_cast<DWORD>(std::strtoul(found->second.c_str(), nullptr, 10));
}

class TestService : public CServiceBaseAA {
 public:
  TestService() : CServiceBaseAA(L"TestService", TRUE, TRUE, TRUE) {}

 protected:
  void OnStart(DWORD, LPWSTR*) override { Act("start"); }
  void OnStop() override { Act("stop"); }
  void OnPause() override { Act("pause"); }
  void OnContinue() override { Act("continue"); }
  void OnShutdown() override { Act("shutdown"); }
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    size_t eq = argument.find('=');
    if (argument.rfind("--", 0) == 0 && eq != std::string::npos)
      g_failures[argument.substr(2, eq - 2)] = argument.substr(eq + 1);
  }
  TestService service;
  return CServiceBaseAA::Run(service) ? 0 : 1;
}
