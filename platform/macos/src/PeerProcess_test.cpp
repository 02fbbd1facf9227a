#include "platform/macos/testing/PeerProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using macstandin::testing::PeerArguments;
using macstandin::testing::RunPeer;

const bool kExitWithRegistered = macstandin::testing::RegisterPeerRole("exit with", [](const PeerArguments& arguments) {
  return arguments.size() == 3 && arguments[0] == "a\nb" && arguments[1].empty() ? std::stoi(arguments[2]) : 99;
});

// Run by a peer, it is the peer; run with the tests, it checks that a role runs in another
// process with the arguments it was given.
TEST(PeerProcess, RunsTheRoleItWasStartedFor) {
  if (const std::optional<int> result = macstandin::testing::RunRequestedPeerRole()) _exit(*result);
  ASSERT_TRUE(kExitWithRegistered);
  EXPECT_EQ(RunPeer("exit with", {"a\nb", "", "7"}), 7);
  EXPECT_EQ(RunPeer("no such role", {}), 98);
}

}  // namespace
