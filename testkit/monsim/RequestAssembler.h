// Puts requests back together from the output reports they were written in: the first
// report starts with the report ID and the header, each later one with a report ID of its
// own followed by the next request bytes. Padding behind the last byte is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monsim {

class RequestAssembler {
 public:
  enum class Outcome { Pending, Complete, TooLong };
  struct Result {
    Outcome outcome = Outcome::Pending;
    // Complete: the request (header and payload). TooLong: its header only.
    std::vector<std::uint8_t> bytes;
  };

  // One output report, report ID first.
  Result Add(const std::uint8_t* report, std::size_t length);
  void Reset() { m_bytes.clear(); }

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace monsim
