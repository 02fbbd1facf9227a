#include "testkit/monsim/MonitorJson.h"

#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "testkit/monsim/vendor/VendorJson.h"

namespace monsim {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw JsonFormError(where + ": " + what); }

std::wstring WideFromUtf8(const std::string& text) {
  // The JSON parser has checked the encoding already.
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
    out.push_back(static_cast<wchar_t>(code));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, out.empty() ? "%02X" : " %02X", b);
    out += digits;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "6E 88 02" or "6E8802".
std::vector<std::uint8_t> ParseHexBytes(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "expected a hex text");
  std::string digits;
  for (char c : value.get<std::string>()) {
    if (c == ' ') continue;
    if (HexDigit(c) < 0) Fail(where, "not a hex text");
    digits += c;
  }
  if (digits.size() % 2 != 0) Fail(where, "odd number of hex digits");
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
  return bytes;
}

// 1 to `most` hex digits, with or without "0x"; `what` names the kind in the message.
std::uint16_t HexFromText(const std::string& text, std::size_t most, const char* what, const std::string& where) {
  std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? text.substr(2) : text;
  if (digits.empty() || digits.size() > most) Fail(where, "\"" + text + "\" is not " + what);
  unsigned value = 0;
  for (char c : digits) {
    if (HexDigit(c) < 0) Fail(where, "\"" + text + "\" is not " + what);
    value = value * 16 + static_cast<unsigned>(HexDigit(c));
  }
  return static_cast<std::uint16_t>(value);
}

std::uint8_t HexByteFromText(const std::string& text, const std::string& where) {
  return static_cast<std::uint8_t>(HexFromText(text, 2, "a hex byte", where));
}

std::uint16_t SubCodeFromText(const std::string& text, const std::string& where) {
  return HexFromText(text, 4, "a sub-code of 1 to 4 hex digits", where);
}

// The members of one object, taken by name; members nobody asked for are refused, so a
// misspelt key is reported rather than ignored.
class Fields {
 public:
  Fields(const json& value, std::string where) : m_value(value), m_where(std::move(where)) {
    if (!value.is_object()) Fail(m_where, "expected an object");
  }

  std::string At(const std::string& key) const { return m_where + "." + key; }

  const json* Get(const std::string& key) {
    m_used.insert(key);
    auto it = m_value.find(key);
    return it == m_value.end() ? nullptr : &*it;
  }

  template <typename T>
  T Number(const std::string& key, T fallback) {
    const json* v = Get(key);
    if (!v) return fallback;
    if (!v->is_number_integer()) Fail(At(key), "expected an integer");
    if (v->is_number_unsigned()) {
      if (v->get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return v->get<T>();
    } else if (v->get<std::int64_t>() >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
               v->get<std::int64_t>() <= static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
      return v->get<T>();
    }
    Fail(At(key), "out of range");
  }

  // Absent or null: none.
  std::optional<std::wstring> OptionalText(const std::string& key) {
    const json* v = Get(key);
    if (!v || v->is_null()) return std::nullopt;
    if (!v->is_string()) Fail(At(key), "expected a text or null");
    return WideFromUtf8(v->get<std::string>());
  }

  std::string Text(const std::string& key) {
    const json* v = Get(key);
    if (!v) return {};
    if (!v->is_string()) Fail(At(key), "expected a text");
    return v->get<std::string>();
  }

  bool Bool(const std::string& key, bool fallback) {
    const json* v = Get(key);
    if (!v) return fallback;
    if (!v->is_boolean()) Fail(At(key), "expected true or false");
    return v->get<bool>();
  }

  void RejectUnknown() const {
    for (const auto& [key, _] : m_value.items())
      if (!m_used.count(key)) Fail(m_where, "unknown key \"" + key + "\"");
  }

 private:
  const json& m_value;
  const std::string m_where;
  std::set<std::string> m_used;
};

// {"<hex code>": {"current": n, "maximum": n, "type": n}, ...}; `codes` names the keys' kind.
template <typename Code>
std::map<Code, VcpValue> ParseValues(const json& value, const std::string& where, const char* codes,
                                     Code (*parseCode)(const std::string&, const std::string&)) {
  if (!value.is_object()) Fail(where, std::string("expected an object of ") + codes);
  std::map<Code, VcpValue> values;
  for (const auto& [code, entry] : value.items()) {
    std::string at = where + "." + code;
    Fields f(entry, at);
    VcpValue v;
    v.current = f.Number<std::uint16_t>("current", 0);
    v.maximum = f.Number<std::uint16_t>("maximum", 100);
    v.type = f.Number<std::uint8_t>("type", 0);
    f.RejectUnknown();
    // "5" and "05" name one code.
    if (!values.emplace(parseCode(code, at), v).second) Fail(at, "the code is given twice");
  }
  return values;
}

// The display members of a monitor or of a chained monitor.
Display ParseDisplay(Fields& f) {
  Display display;
  if (const json* vcp = f.Get("vcp")) display.vcp = ParseValues(*vcp, f.At("vcp"), "VCP codes", HexByteFromText);
  if (const json* extended = f.Get("extended"))
    display.extended = ParseValues(*extended, f.At("extended"), "sub-codes", SubCodeFromText);
  if (const json* caps = f.Get("capabilities"); caps && !caps->is_null()) {
    if (!caps->is_string()) Fail(f.At("capabilities"), "expected a text or null");
    display.capabilities = caps->get<std::string>();
    if (display.capabilities->find('\0') != std::string::npos) Fail(f.At("capabilities"), "holds a NUL");
  }
  display.capabilityFragment = f.Number<std::size_t>("capabilityFragment", display.capabilityFragment);
  if (display.capabilityFragment < 1 || display.capabilityFragment > kMaxCapabilityFragment)
    Fail(f.At("capabilityFragment"), "must be 1 to " + std::to_string(kMaxCapabilityFragment));
  if (const json* vendor = f.Get("vendor")) display.vendor = ParseVendorState(*vendor, f.At("vendor"));
  return display;
}

CollectionDescription ParseCollection(const json& value, const std::string& where, std::size_t index) {
  Fields f(value, where);
  CollectionDescription c;
  c.usagePage = f.Number<std::uint16_t>("usagePage", c.usagePage);
  c.usage = f.Number<std::uint16_t>("usage", c.usage);
  c.interfaceNumber = f.Number<std::int32_t>("interface", static_cast<std::int32_t>(index));
  c.inputReportLength = f.Number<std::uint16_t>("inputReportLength", c.inputReportLength);
  c.outputReportLength = f.Number<std::uint16_t>("outputReportLength", c.outputReportLength);
  f.RejectUnknown();
  // The control collection must hold a reply header in one input report, and a request
  // header must begin in one output report.
  constexpr std::uint16_t kShortest = kMccmdHeaderSize;
  if (c.IsControl() && (c.inputReportLength < kShortest || c.outputReportLength < kShortest))
    Fail(where, "a control collection needs report lengths of at least " + std::to_string(kShortest));
  return c;
}

std::uint32_t DefaultFaultValue(FaultKind kind) {
  switch (kind) {
    case FaultKind::Late:
      return 2;
    case FaultKind::MessagesBefore:
    case FaultKind::Vanish:
      return 1;
    case FaultKind::HostileDataLength:
      return 0xFFFFFFFF;
    case FaultKind::HostileDdcLength:
      return 0xFF;
    default:
      return 0;
  }
}

}  // namespace

std::uint8_t ParseHexByte(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "expected a hex text");
  return HexByteFromText(value.get<std::string>(), where);
}

std::uint16_t ParseSubCode(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "expected a hex text");
  return SubCodeFromText(value.get<std::string>(), where);
}

MonitorEntry ParseMonitor(const json& value, const std::string& where) {
  Fields f(value, where);
  MonitorEntry entry;
  MonitorDescription& m = entry.description;
  m.id = f.Text("id");
  m.vendorId = f.Number<std::uint16_t>("vendorId", m.vendorId);
  m.productId = f.Number<std::uint16_t>("productId", m.productId);
  m.releaseNumber = f.Number<std::uint16_t>("release", m.releaseNumber);
  m.serial = f.OptionalText("serial");
  m.manufacturer = f.OptionalText("manufacturer");
  m.product = f.OptionalText("product");
  if (const json* collections = f.Get("collections")) {
    if (!collections->is_array() || collections->empty()) Fail(f.At("collections"), "expected a non-empty array");
    m.collections.clear();
    for (std::size_t i = 0; i < collections->size(); ++i)
      m.collections.push_back(ParseCollection((*collections)[i], f.At("collections") + "[" + std::to_string(i) + "]", i));
  }
  m.display = ParseDisplay(f);
  if (const json* chain = f.Get("chain")) {
    if (!chain->is_array()) Fail(f.At("chain"), "expected an array");
    for (std::size_t i = 0; i < chain->size(); ++i) {
      std::string at = f.At("chain") + "[" + std::to_string(i) + "]";
      Fields link((*chain)[i], at);
      const json* port = link.Get("port");
      if (!port) Fail(at, "needs a \"port\"");
      std::uint8_t portByte = ParseHexByte(*port, link.At("port"));
      Display display = ParseDisplay(link);
      link.RejectUnknown();
      if (!m.chain.emplace(portByte, std::move(display)).second) Fail(at, "port used twice");
    }
  }
  entry.plugged = f.Bool("plugged", true);
  f.RejectUnknown();
  return entry;
}

std::vector<MonitorEntry> ParseMonitorFile(const std::string& text) {
  json document = json::parse(text, nullptr, false);
  if (document.is_discarded()) throw JsonFormError("not valid JSON");
  Fields f(document, "file");
  const json* monitors = f.Get("monitors");
  f.RejectUnknown();
  if (!monitors || !monitors->is_array()) Fail("file", "needs a \"monitors\" array");
  std::vector<MonitorEntry> entries;
  std::set<std::string> ids;
  for (std::size_t i = 0; i < monitors->size(); ++i) {
    std::string at = "monitors[" + std::to_string(i) + "]";
    entries.push_back(ParseMonitor((*monitors)[i], at));
    const std::string& id = entries.back().description.id;
    if (!id.empty() && !ids.insert(id).second) Fail(at, "id \"" + id + "\" used twice");
  }
  return entries;
}

std::vector<MonitorEntry> LoadMonitorFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw JsonFormError(path + ": cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return ParseMonitorFile(text.str());
  } catch (const JsonFormError& e) {
    throw JsonFormError(path + ": " + e.what());
  }
}

Fault ParseFault(const json& value, const std::string& where) {
  Fields f(value, where);
  Fault fault;
  std::string kind = f.Text("kind");
  auto parsed = FaultKindFromName(kind);
  if (!parsed) Fail(f.At("kind"), "unknown fault \"" + kind + "\"");
  fault.kind = *parsed;
  if (fault.kind == FaultKind::Status && !f.Get("value")) Fail(where, "a status fault needs a \"value\"");
  fault.value = f.Number<std::uint32_t>("value", DefaultFaultValue(fault.kind));
  fault.count = f.Number<std::uint32_t>("count", 1);
  if (const json* message = f.Get("message")) fault.message = ParseMessage(*message, f.At("message"));
  f.RejectUnknown();
  return fault;
}

DeviceMessage ParseMessage(const json& value, const std::string& where) {
  Fields f(value, where);
  DeviceMessage message;
  message.funcCode = f.Number<std::uint32_t>("funcCode", message.funcCode);
  message.subCode = f.Number<std::uint32_t>("subCode", 0);
  message.param3 = f.Number<std::uint32_t>("param3", 0);
  message.param4 = f.Number<std::uint32_t>("param4", 0);
  if (const json* data = f.Get("data")) message.data = ParseHexBytes(*data, f.At("data"));
  f.RejectUnknown();
  return message;
}

json RequestToJson(const RecordedRequest& r) {
  // Header fields are copied out (unary +): the packed struct's members cannot be bound.
  const tagMCCMD_HEADER& h = r.header;
  return {{"monitor", r.monitorId}, {"path", r.path},          {"cmdID", +h.cmdID},
          {"cmdType", +h.cmdType},  {"param1", +h.param1},      {"param2", +h.param2},
          {"param3", +h.param3},    {"param4", +h.param4},      {"dataLength", +h.dataLength},
          {"payload", Hex(r.payload)}, {"signatureValid", r.signatureValid}, {"timeMs", r.timeMs}};
}

json VcpToJson(const VcpValue& v) { return {{"current", v.current}, {"maximum", v.maximum}, {"type", v.type}}; }

}  // namespace monsim
