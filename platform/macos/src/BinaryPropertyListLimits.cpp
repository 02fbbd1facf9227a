#include <algorithm>
#include <optional>
#include <vector>

#include "platform/macos/internal/PropertyListLimits.h"

namespace {

constexpr std::string_view kMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;

std::uint64_t BigEndian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
  return value;
}

// The references a container object holds: its members, or a dictionary's keys and then
// its values.
struct References {
  std::uint64_t at = 0;
  std::uint64_t count = 0;
  std::uint64_t keys = 0;
};

// An object's marker: its kind, and the count of its contents, which begin at.
struct Marker {
  unsigned kind = 0;
  std::uint64_t count = 0;
  std::uint64_t at = 0;
};

constexpr unsigned kAsciiString = 0x5;
constexpr unsigned kUtf16String = 0x6;
constexpr unsigned kArray = 0xA;
constexpr unsigned kSet = 0xC;
constexpr unsigned kDictionary = 0xD;

// A binary list as its trailer lays it out: an offset table that locates each object, and
// objects that refer to each other by their index in that table.
class BinaryList {
 public:
  // Nullopt when the trailer does not describe a table within the bytes.
  static std::optional<BinaryList> Open(std::string_view bytes) {
    if (bytes.size() < kMagic.size() + kTrailerSize || !bytes.starts_with(kMagic)) return std::nullopt;
    BinaryList list;
    list.m_bytes = bytes.substr(0, bytes.size() - kTrailerSize);
    const std::string_view trailer = bytes.substr(list.m_bytes.size());
    list.m_offsetWidth = static_cast<unsigned char>(trailer[6]);
    list.m_referenceWidth = static_cast<unsigned char>(trailer[7]);
    list.objectCount = BigEndian(trailer.substr(8, 8));
    list.topObject = BigEndian(trailer.substr(16, 8));
    list.m_tableAt = BigEndian(trailer.substr(24, 8));
    const std::uint64_t end = list.m_bytes.size();
    const bool valid = list.m_offsetWidth >= 1 && list.m_offsetWidth <= 8 && list.m_referenceWidth >= 1 &&
                       list.m_referenceWidth <= 8 && list.topObject < list.objectCount && list.m_tableAt <= end &&
                       list.objectCount <= (end - list.m_tableAt) / list.m_offsetWidth;
    if (!valid) return std::nullopt;
    return list;
  }

  std::uint64_t objectCount = 0;
  std::uint64_t topObject = 0;

  // False when the object or its references do not lie within the list.
  bool ReferencesOf(std::uint64_t object, References& references) const {
    const std::optional<Marker> marker = MarkerOf(object);
    if (!marker) return false;
    const std::uint64_t perMember = marker->kind == kArray || marker->kind == kSet ? 1
                                    : marker->kind == kDictionary                  ? 2
                                                                                   : 0;
    references = References{marker->at, marker->count * perMember, perMember == 2 ? marker->count : 0};
    return perMember == 0 || Within(marker->at, marker->count, perMember * m_referenceWidth);
  }

  // The object the index-th reference names; nullopt when it is not in the table.
  std::optional<std::uint64_t> Reference(const References& references, std::uint64_t index) const {
    const auto object = Number(references.at + index * m_referenceWidth, m_referenceWidth);
    if (!object || *object >= objectCount) return std::nullopt;
    return object;
  }

  // Whether the object can be a dictionary key: a string without a NUL in it, which libplist
  // would stop the process on.
  bool IsKey(std::uint64_t object) const {
    const std::optional<Marker> marker = MarkerOf(object);
    if (!marker || (marker->kind != kAsciiString && marker->kind != kUtf16String)) return false;
    const std::uint64_t width = marker->kind == kUtf16String ? 2 : 1;
    if (!Within(marker->at, marker->count, width)) return false;
    for (std::uint64_t index = 0; index < marker->count; ++index) {
      if (Number(marker->at + index * width, static_cast<unsigned>(width)) == 0u) return false;
    }
    return true;
  }

 private:
  std::optional<Marker> MarkerOf(std::uint64_t object) const {
    const auto offset = Number(m_tableAt + object * m_offsetWidth, m_offsetWidth);
    const auto byte = offset ? Number(*offset, 1) : std::nullopt;
    if (!byte || *offset < kMagic.size()) return std::nullopt;
    Marker marker{static_cast<unsigned>(*byte >> 4), *byte & 0xF, *offset + 1};
    if (marker.count == 0xF && (marker.kind == kAsciiString || marker.kind == kUtf16String || marker.kind == kArray ||
                                marker.kind == kSet || marker.kind == kDictionary)) {
      // A longer count follows as an integer object of 1, 2, 4 or 8 bytes.
      const auto countMarker = Number(marker.at, 1);
      if (!countMarker || (*countMarker >> 4) != 1 || (*countMarker & 0xF) > 3) return std::nullopt;
      const unsigned width = 1u << (*countMarker & 0xF);
      const auto count = Number(marker.at + 1, width);
      if (!count) return std::nullopt;
      marker.count = *count;
      marker.at += 1 + width;
    }
    return marker;
  }

  // Whether count items of width bytes from at lie within.
  bool Within(std::uint64_t at, std::uint64_t count, std::uint64_t width) const {
    return at <= m_bytes.size() && count <= (m_bytes.size() - at) / width;
  }

  // The big-endian number of width bytes at offset; nullopt when it does not lie within.
  std::optional<std::uint64_t> Number(std::uint64_t offset, unsigned width) const {
    if (!Within(offset, 1, width)) return std::nullopt;
    return BigEndian(m_bytes.substr(offset, width));
  }

  std::string_view m_bytes;  // the header and the objects and the table, without the trailer
  unsigned m_offsetWidth = 0;
  unsigned m_referenceWidth = 0;
  std::uint64_t m_tableAt = 0;
};

// What an object expands to once every reference is a copy, as libplist makes it.
struct Extent {
  std::uint64_t depth = 0;  // 0: not measured yet
  std::uint64_t values = 0;
  bool onPath = false;
  bool checkedAsKey = false;
};

struct Frame {
  std::uint64_t object;
  References references;
  std::uint64_t next = 0;
  std::uint64_t deepestMember = 0;
  std::uint64_t values = 1;
};

}  // namespace

namespace macstandin {

// A depth-first walk from the top object that measures each object once, so lists that share
// objects widely cost no more to check than to read.
bool BinaryPropertyListWithinLimits(std::string_view bytes) {
  const std::optional<BinaryList> list = BinaryList::Open(bytes);
  // A writer leaves no object unreferenced, so every object in the table is a value.
  if (!list || list->objectCount > kMaxPropertyListValues) return false;
  std::vector<Extent> extents(list->objectCount);
  std::vector<Frame> path;
  auto enter = [&](std::uint64_t object) {
    References references;
    if (path.size() == kMaxPropertyListDepth || !list->ReferencesOf(object, references)) return false;
    extents[object].onPath = true;
    path.push_back(Frame{object, references});
    return true;
  };
  if (!enter(list->topObject)) return false;
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next < frame.references.count) {
      const auto member = list->Reference(frame.references, frame.next);
      if (!member) return false;
      Extent& extent = extents[*member];
      if (extent.onPath) return false;  // a cycle
      if (frame.next < frame.references.keys && !extent.checkedAsKey) {
        if (!list->IsKey(*member)) return false;
        extent.checkedAsKey = true;
      }
      if (extent.depth == 0) {
        if (!enter(*member)) return false;
        continue;
      }
      frame.deepestMember = std::max(frame.deepestMember, extent.depth);
      frame.values += extent.values;
      if (path.size() + extent.depth > kMaxPropertyListDepth || frame.values > kMaxPropertyListValues) return false;
      ++frame.next;
      continue;
    }
    Extent& finished = extents[frame.object];
    finished.depth = frame.deepestMember + 1;
    finished.values = frame.values;
    finished.onPath = false;
    path.pop_back();
  }
  return true;
}

}  // namespace macstandin
