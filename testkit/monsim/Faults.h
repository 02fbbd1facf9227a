// Faults a test queues on a monitor. Each is taken by the next event it applies to (a write,
// a reply, an enumeration), in the order queued, and covers `count` such events.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "testkit/monsim/Messages.h"

namespace monsim {

enum class FaultKind {
  Status,             // the reply refuses with status `value`
  Late,               // the reply becomes readable only on the `value`th read call
  Missing,            // no reply
  Duplicate,          // the reply arrives twice
  Mismatch,           // the reply carries another command ID
  MessagesBefore,     // `value` copies of `message` arrive ahead of the reply
  BadChecksum,        // the reply's DDC/CI checksum is wrong
  HostileDataLength,  // the reply header claims `value` payload bytes
  HostileDdcLength,   // the reply's DDC/CI length byte is `value` (checksum kept right)
  WriteFailure,       // the write fails (-1) and the monitor never sees the report
  Vanish,             // listed by the next `value` enumerations, then unplugged
  Pass,               // the reply goes out untouched, so that faults queued behind hit later ones
  VendorCode,         // the vendor reply's first data byte (an error code, a step's echo) is `value`
  FailureFlag,        // the daisy-chain reply's failure flag (its third data byte) is set
  WrongEcho,          // the vendor reply names another sub-command or table than asked
};

struct Fault {
  Fault() = default;
  Fault(FaultKind k, std::uint32_t v = 0, std::uint32_t n = 1) : kind(k), value(v), count(n) {}

  FaultKind kind = FaultKind::Missing;
  std::uint32_t value = 0;
  std::uint32_t count = 1;
  DeviceMessage message;  // MessagesBefore only
};

// "status", "late", ... "vanish": the names control commands and files use.
const char* FaultKindName(FaultKind kind);
std::optional<FaultKind> FaultKindFromName(const std::string& name);

// One reply as it goes out: its bytes, and how many read calls it is held back for.
struct Outgoing {
  std::vector<std::uint8_t> bytes;
  unsigned holdReads = 0;
};

class FaultQueue {
 public:
  void Push(const Fault& fault);
  void Clear() { m_faults.clear(); }
  // True when this write is to fail.
  bool TakeWriteFailure();
  // Called for every enumeration that lists the monitor: true when it is to vanish now.
  bool TakeVanish();
  // The reply as the monitor sends it, with the first queued reply fault applied.
  std::vector<Outgoing> Shape(Reply reply);

 private:
  // The first queued fault of a kind that `applies` accepts, used once.
  template <typename Applies>
  std::optional<Fault> Take(Applies applies);
  std::deque<Fault> m_faults;
};

}  // namespace monsim
