#include <algorithm>
#include <chrono>

#include "foundation/clock/Clock.h"
#include "testkit/monsim/Bus.h"
#include "testkit/monsim/InputReports.h"
#include "testkit/monsim/handlers/RequestDispatcher.h"

namespace monsim::detail {

void LiveMonitor::PlugIn() {
  plugged = true;
  collections.clear();
  for (std::size_t i = 0; i < state.collections.size(); ++i) {
    LiveCollection c;
    c.description = state.collections[i];
    c.path = "monsim/" + state.id + "/" + std::to_string(i);
    collections.push_back(std::move(c));
  }
}

void LiveMonitor::PullOut() {
  plugged = false;
  for (LiveCollection& c : collections) {
    for (auto& weak : c.readers) {
      if (auto queue = weak.lock()) {
        queue->open = false;
        queue->reports.clear();
      }
    }
  }
  collections.clear();
}

mchid::HidCollection LiveMonitor::Describe(std::size_t collection) const {
  const LiveCollection& c = collections[collection];
  mchid::HidCollection d;
  d.path = c.path;
  d.vendor_id = state.vendorId;
  d.product_id = state.productId;
  d.serial_number = state.serial;
  d.release_number = state.releaseNumber;
  d.manufacturer_string = state.manufacturer;
  d.product_string = state.product;
  d.usage_page = c.description.usagePage;
  d.usage = c.description.usage;
  d.interface_number = c.description.interfaceNumber;
  d.input_report_length = c.description.inputReportLength;
  d.output_report_length = c.description.outputReportLength;
  return d;
}

int LiveMonitor::Receive(std::size_t collection, const std::uint8_t* report, std::size_t length,
                         std::vector<RecordedRequest>& log) {
  if (faults.TakeWriteFailure()) return -1;
  LiveCollection& c = collections[collection];
  // Only the control collection listens to requests; the others take reports silently.
  if (!c.description.IsControl()) return static_cast<int>(length);

  RequestAssembler::Result assembled = c.assembler.Add(report, length);
  if (assembled.outcome == RequestAssembler::Outcome::Pending) return static_cast<int>(length);

  Request request = ParseRequest(assembled.bytes);
  bool signatureValid = assembled.outcome == RequestAssembler::Outcome::Complete && HasValidSignature(assembled.bytes);
  const auto arrived = tarvik::CurrentClock().Now().time_since_epoch();
  log.push_back({state.id, c.path, request.header, request.payload, signatureValid,
                 std::chrono::duration_cast<std::chrono::milliseconds>(arrived).count()});
  Reply reply = signatureValid ? HandleRequest(request, state) : RefusedReply(request, kStatusRejected);
  if (reply.unanswered) return static_cast<int>(length);
  Deliver(collection, faults.Shape(std::move(reply)));
  return static_cast<int>(length);
}

void LiveMonitor::Deliver(std::size_t collection, const std::vector<Outgoing>& messages) {
  LiveCollection& c = collections[collection];
  std::erase_if(c.readers, [](const std::weak_ptr<InputQueue>& weak) { return weak.expired(); });
  for (const Outgoing& message : messages) {
    auto reports = SplitIntoInputReports(message.bytes, c.description.inputReportLength);
    for (auto& weak : c.readers) {
      auto queue = weak.lock();
      if (!queue) continue;
      for (std::size_t i = 0; i < reports.size(); ++i)
        queue->Push({reports[i], i == 0 ? message.holdReads : 0u});
    }
  }
}

Display* LiveMonitor::FindDisplay(std::optional<std::uint8_t> port) {
  if (!port) return &state.display;
  auto it = state.chain.find(*port);
  return it == state.chain.end() ? nullptr : &it->second;
}

std::shared_ptr<LiveMonitor> Bus::Find(const std::string& id) const {
  for (const auto& monitor : monitors)
    if (monitor->state.id == id) return monitor;
  return nullptr;
}

}  // namespace monsim::detail
