#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "testkit/services/RunProgram.h"
#include "testkit/services/ServiceMachine.h"

namespace {

constexpr const wchar_t* kName = L"TarvikService";

struct StrikelCase {
  const char* name;
  std::optional<std::wstring> serviceArguments;  // none: not installed
  bool started;
  bool asAdministrator;
  std::string output;
  std::string error;
  bool installedAfter;
};

class StrikelTest : public ::testing::TestWithParam<StrikelCase> {
 protected:
  testkit::ServiceMachine machine_;
};

TEST_P(StrikelTest, StopsAndDeletesTheService) {
  const StrikelCase& c = GetParam();
  if (c.serviceArguments) {
    ASSERT_TRUE(machine_.Install(kName, L"\"" + testkit::WindowsPath(SERVICE_DOUBLE) + L"\" " +
                                            *c.serviceArguments));
    if (c.started) {
      ASSERT_TRUE(machine_.Start(kName));
    }
  }
  std::vector<std::pair<std::string, std::string>> environment;
  if (!c.asAdministrator) environment.emplace_back("TARVIK_WIN32_NOT_ADMIN", "1");

  testkit::ProgramResult result = testkit::RunProgram(STRIKEL, {}, environment);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, c.output);
  EXPECT_EQ(result.error, c.error);
  EXPECT_EQ(machine_.Installed(kName), c.installedAfter);
  if (c.installedAfter && c.started) {
    EXPECT_EQ(machine_.State(kName), static_cast<DWORD>(SERVICE_RUNNING));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Services, StrikelTest,
    ::testing::Values(
        StrikelCase{"NotInstalled", std::nullopt, false, true, "OpenService failed (1060)\n",
                    "OpenService failed (1060). Service may not be installed or you don't have "
                    "permission to stop it.\n",
                    false},
        StrikelCase{"Stopped", L"", false, true,
                    "Service is already stopped.\nService deleted successfully\n", "", false},
        StrikelCase{"Running", L"--stop-pending-ms=1200", true, true,
                    "Service stopped successfully.\nService deleted successfully\n", "", false},
        // Found start-pending: asked to stop once it runs, not waited for in vain.
        StrikelCase{"StartPending", L"--start-pending-ms=1500", true, true,
                    "Service stopped successfully.\nService deleted successfully\n", "", false},
        StrikelCase{"WithoutAdministratorRights", L"", true, false, "OpenSCManager failed (5)\n",
                    "OpenService failed (5). Service may not be installed or you don't have "
                    "permission to stop it.\n",
                    true}),
    [](const ::testing::TestParamInfo<StrikelCase>& info) { return info.param.name; });

}  // namespace
