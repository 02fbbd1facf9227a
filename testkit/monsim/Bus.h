// The simulator's shared state behind the facade and its connections; one lock guards all.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "moncontrol/hid/HidBackend.h"
#include "testkit/monsim/Faults.h"
#include "testkit/monsim/MonitorDescription.h"
#include "testkit/monsim/RequestAssembler.h"
#include "testkit/monsim/Simulator.h"

namespace monsim::detail {

struct InputQueue {
  // Unread input reports a HID stack keeps per open handle (Windows' default): an idle handle
  // loses the oldest rather than collect every reply.
  static constexpr std::size_t kCapacity = 32;

  void Push(Outgoing report) {
    reports.push_back(std::move(report));
    if (reports.size() > kCapacity) reports.pop_front();
  }

  std::deque<Outgoing> reports;  // one input report each
  bool open = true;
};

struct LiveCollection {
  CollectionDescription description;
  std::string path;
  RequestAssembler assembler;
  std::vector<std::weak_ptr<InputQueue>> readers;
};

struct LiveMonitor {
  MonitorDescription state;  // identity, collections and the display state Set requests change
  bool plugged = false;
  std::vector<LiveCollection> collections;  // of the current plug-in; empty while unplugged
  FaultQueue faults;

  void PlugIn();
  void PullOut();
  mchid::HidCollection Describe(std::size_t collection) const;
  // One output report written to a collection: the request it completes is recorded and
  // answered. The write's result.
  int Receive(std::size_t collection, const std::uint8_t* report, std::size_t length,
              std::vector<RecordedRequest>& log);
  // To every reader of the collection, split into its input reports.
  void Deliver(std::size_t collection, const std::vector<Outgoing>& messages);
  Display* FindDisplay(std::optional<std::uint8_t> port);
};

struct Bus {
  explicit Bus(ReadWaits w) : waits(w) {}
  const ReadWaits waits;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::shared_ptr<LiveMonitor>> monitors;  // in the order first added
  std::vector<RecordedRequest> requests;

  std::shared_ptr<LiveMonitor> Find(const std::string& id) const;
};

}  // namespace monsim::detail
