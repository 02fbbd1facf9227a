#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/testing/TempMacRoot.h"
#include "platform/macos/testing/ThreadSignals.h"

namespace {

namespace fs = std::filesystem;
using macstandin::BusReceiver;
using macstandin::BusSend;
using macstandin::kMaxBusMessage;

// What a receiver got, for the test thread to wait on.
class Inbox {
 public:
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& message) {
      std::lock_guard lock(m_mutex);
      m_messages.push_back(message);
      m_arrived.notify_all();
    };
  }
  // The messages once there are count of them (fewer when they did not come in time).
  std::vector<std::string> WaitFor(std::size_t count) {
    std::unique_lock lock(m_mutex);
    m_arrived.wait_for(lock, macstandin::testing::kSafetyLimit, [&] { return m_messages.size() >= count; });
    return m_messages;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::vector<std::string> m_messages;
};

class MachineBus : public ::testing::Test {
 protected:
  fs::path ChannelFolder(const std::string& channel) const {
    return fs::path(m_root.Path()) / "private/var/run/tarvik-standin" / channel;
  }
  std::vector<fs::path> Markers(const std::string& channel) const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(ChannelFolder(channel))) found.push_back(entry.path());
    return found;
  }

  macstandin::testing::TempMacRoot m_root;
};

TEST_F(MachineBus, EveryReceiverOfTheChannelGetsEachMessageInOrder) {
  Inbox first, second, elsewhere;
  BusReceiver a("usb", first.Sink());
  BusReceiver b("usb", second.Sink());
  BusReceiver other("other", elsewhere.Sink());
  ASSERT_TRUE(a.Listening() && b.Listening() && other.Listening());
  EXPECT_EQ(Markers("usb").size(), 2u);

  BusSend("usb", "one");
  BusSend("usb", std::string("two\0bytes", 9));
  BusSend("other", "three");

  const std::vector<std::string> expected{"one", std::string("two\0bytes", 9)};
  EXPECT_EQ(first.WaitFor(2), expected);
  EXPECT_EQ(second.WaitFor(2), expected);
  EXPECT_EQ(elsewhere.WaitFor(1), std::vector<std::string>{"three"});
}

TEST_F(MachineBus, MessagesUpToTheLimitArriveWholeAndLongerOnesAreNotSent) {
  Inbox inbox;
  BusReceiver receiver("big", inbox.Sink());
  ASSERT_TRUE(receiver.Listening());
  const std::string largest(kMaxBusMessage, 'x');

  BusSend("big", largest + "y");
  BusSend("big", largest);
  BusSend("big", "");

  const std::vector<std::string> got = inbox.WaitFor(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], largest);
  EXPECT_EQ(got[1], "");
}

TEST_F(MachineBus, ASenderRemovesTheMarkerOfAGoneReceiverAndStillReachesTheLiveOne) {
  Inbox inbox;
  BusReceiver live("usb", inbox.Sink());
  ASSERT_TRUE(live.Listening());
  const fs::path stale = ChannelFolder("usb") / "tarvik-bus-00000000000000000000000000000000";
  std::ofstream(stale).put('\n');
  const fs::path foreign = ChannelFolder("usb") / "notes.txt";
  std::ofstream(foreign).put('\n');

  BusSend("usb", "hello");

  EXPECT_EQ(inbox.WaitFor(1), std::vector<std::string>{"hello"});
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(foreign)) << "only markers are the bus's to remove";
}

TEST_F(MachineBus, ASenderWhereNobodyListensCreatesNothing) {
  BusSend("usb", "into the void");
  EXPECT_FALSE(fs::exists(ChannelFolder("")));
}

TEST_F(MachineBus, AReceiverEndsAtOnceWithoutAMessageAndTakesItsMarker) {
  Inbox inbox;
  {
    BusReceiver receiver("usb", inbox.Sink());
    ASSERT_TRUE(receiver.Listening());
    ASSERT_EQ(Markers("usb").size(), 1u);
    EXPECT_EQ(fs::status(Markers("usb")[0]).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_TRUE(Markers("usb").empty());
  BusSend("usb", "late");
  Inbox witness;
  BusReceiver after("usb", witness.Sink());
  BusSend("usb", "seen");
  EXPECT_EQ(witness.WaitFor(1), std::vector<std::string>{"seen"});
  EXPECT_TRUE(inbox.WaitFor(0).empty());
}

TEST_F(MachineBus, ChannelsThatAreNotPlainNamesAreRefused) {
  for (const std::string channel : {"", "a/b", "..", ".", "/abs"}) {
    SCOPED_TRACE("channel \"" + channel + "\"");
    Inbox inbox;
    BusReceiver receiver(channel, inbox.Sink());
    EXPECT_FALSE(receiver.Listening());
    BusSend(channel, "x");
  }
  EXPECT_FALSE(fs::exists(ChannelFolder(""))) << "nothing made for a refused channel";
}

}  // namespace
