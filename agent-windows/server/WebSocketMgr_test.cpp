#include "agent-windows/server/WebSocketMgr.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/clock/FakeClock.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

struct NetworkCase {
  const char* name;
  std::string protocol;
  std::string folder;
  bool tls;
  std::string target;
  std::string packageUrl;
};

class SetNetworkInfoTest : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(SetNetworkInfoTest, MakesTargetAndPackageUrl) {
  const NetworkCase& c = GetParam();
  WebSocketMgr manager;
  manager.SetNetworkInfo("mgmt.example", "8443", c.protocol, c.folder);
  EXPECT_EQ(manager.GetHost(), "mgmt.example");
  EXPECT_EQ(manager.GetPort(), "8443");
  EXPECT_EQ(manager.IsTls(), c.tls);
  EXPECT_EQ(manager.GetTarget(), c.target);
  EXPECT_EQ(manager.GetPackageUrl(),
            c.packageUrl + "/model/package/getModelPackageByModelName?filename=");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SetNetworkInfoTest,
    ::testing::Values(
        NetworkCase{"HttpsEmptyFolder", "https", "", true, "/tarvik/ws", "https://mgmt.example:8443/tarvik"},
        NetworkCase{"HttpsFolder", "https", "/api", true, "/api/ws", "https://mgmt.example:8443/api"},
        NetworkCase{"CapitalHttpsIsPlain", "HTTPS", "", false, "/ws", "HTTPS://mgmt.example:8443"},
        NetworkCase{"HttpFolderNotInTarget", "http", "/api", false, "/ws", "http://mgmt.example:8443/api"},
        NetworkCase{"HttpEmptyFolder", "http", "", false, "/ws", "http://mgmt.example:8443"},
        NetworkCase{"NoProtocol", "", "/api", false, "/ws", "://mgmt.example:8443/api"}),
    [](const ::testing::TestParamInfo<NetworkCase>& info) { return info.param.name; });

TEST(WebSocketMgrSingleton, EveryThreadGetsTheOneInstance) {
  std::vector<std::thread> threads;
  std::vector<WebSocketMgr*> seen(8, nullptr);
  std::atomic<bool> go{false};
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      seen[i] = WebSocketMgr::GetInstance();
    });
  go = true;
  for (std::thread& thread : threads) thread.join();
  for (WebSocketMgr* instance : seen) EXPECT_EQ(instance, WebSocketMgr::GetInstance());
}

}  // namespace

namespace {

TEST(DeviceChangeMark, AnswersOnlyOnceTheLastMarkIsMoreThanFiveSecondsOld) {
  testkit::FakeClock clock;
  testkit::LogCapture log;
  WebSocketMgr manager;
  EXPECT_FALSE(manager.GetDeviceChange());
  manager.SetDeviceChange(true);
  clock.Advance(std::chrono::seconds(3));
  manager.SetDeviceChange(true);
  clock.Advance(std::chrono::seconds(5));
  EXPECT_FALSE(manager.GetDeviceChange());  // exactly 5 s after the second mark
  clock.Advance(std::chrono::seconds(1));
  EXPECT_TRUE(manager.GetDeviceChange());
  manager.SetDeviceChange(false);
  EXPECT_FALSE(manager.GetDeviceChange());
}

TEST(DeviceChangeMark, AChangeMarkedDuringTheRebindSurvivesItsClear) {
  testkit::FakeClock clock;
  testkit::LogCapture log;
  WebSocketMgr manager;
  manager.SetDeviceChange(true);
  clock.Advance(std::chrono::seconds(6));
  ASSERT_TRUE(manager.GetDeviceChange());
  manager.SetDeviceChange(true);  // a monitor plugged while the rebind ran
  manager.SetDeviceChange(false);
  clock.Advance(std::chrono::seconds(6));
  EXPECT_TRUE(manager.GetDeviceChange());
}

}  // namespace
