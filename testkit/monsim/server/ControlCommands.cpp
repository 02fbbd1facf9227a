#include "testkit/monsim/server/ControlCommands.h"

#include "testkit/monsim/MonitorJson.h"

namespace monsim {
namespace {

using nlohmann::json;

constexpr std::uint8_t kExtendedPage = 0xF8;

const json& Member(const json& command, const char* key) {
  auto it = command.find(key);
  if (it == command.end()) throw JsonFormError(std::string("command: needs \"") + key + "\"");
  return *it;
}

std::string Id(const json& command) {
  const json& id = Member(command, "id");
  if (!id.is_string()) throw JsonFormError("command.id: expected a text");
  return id.get<std::string>();
}

std::optional<std::uint8_t> Port(const json& command) {
  if (!command.contains("port")) return std::nullopt;
  return ParseHexByte(command["port"], "command.port");
}

// A VCP code, or with a "subCode" a sub-feature of the extended page behind VCP F8.
struct VcpAddress {
  std::uint8_t code = 0;
  std::optional<std::uint16_t> subCode;
};

VcpAddress Address(const json& command) {
  VcpAddress address{ParseHexByte(Member(command, "code"), "command.code"), std::nullopt};
  if (!command.contains("subCode")) return address;
  if (address.code != kExtendedPage) throw JsonFormError("command.subCode: only code F8 has sub-codes");
  address.subCode = ParseSubCode(command["subCode"], "command.subCode");
  return address;
}

json Done(bool done, const std::string& failure) {
  if (done) return {{"ok", true}};
  return {{"ok", false}, {"error", failure}};
}

json Execute(Simulator& sim, const json& command) {
  const json& name = Member(command, "cmd");
  if (!name.is_string()) throw JsonFormError("command.cmd: expected a text");
  const std::string cmd = name.get<std::string>();

  if (cmd == "plug") {
    if (command.contains("monitor")) {
      MonitorEntry entry = ParseMonitor(command["monitor"], "command.monitor");
      return {{"ok", true}, {"id", sim.Add(std::move(entry.description), entry.plugged)}};
    }
    std::string id = Id(command);
    return Done(sim.Plug(id), "no unplugged monitor \"" + id + "\"");
  }
  if (cmd == "unplug") {
    std::string id = Id(command);
    return Done(sim.Unplug(id), "no plugged monitor \"" + id + "\"");
  }
  if (cmd == "list") return {{"ok", true}, {"plugged", sim.PluggedMonitors()}};
  if (cmd == "set-vcp") {
    std::string id = Id(command);
    VcpAddress address = Address(command);
    const json& value = Member(command, "value");
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFF)
      throw JsonFormError("command.value: expected 0 to 65535");
    const auto v = value.get<std::uint16_t>();
    bool done = address.subCode ? sim.SetExtendedVcp(id, *address.subCode, v, Port(command))
                                : sim.SetVcp(id, address.code, v, Port(command));
    return Done(done, "no monitor \"" + id + "\" at that port");
  }
  if (cmd == "get-vcp") {
    std::string id = Id(command);
    VcpAddress address = Address(command);
    auto value = address.subCode ? sim.ExtendedVcp(id, *address.subCode, Port(command))
                                 : sim.Vcp(id, address.code, Port(command));
    if (!value) {
      const char* what = address.subCode ? "no such VCP F8 sub-code on \"" : "no such VCP code on \"";
      return Done(false, what + id + "\"");
    }
    return {{"ok", true}, {"vcp", VcpToJson(*value)}};
  }
  if (cmd == "fault") {
    std::string id = Id(command);
    return Done(sim.QueueFault(id, ParseFault(Member(command, "fault"), "command.fault")), "no monitor \"" + id + "\"");
  }
  if (cmd == "emit") {
    std::string id = Id(command);
    return Done(sim.EmitMessage(id, ParseMessage(Member(command, "message"), "command.message")),
                "no plugged monitor \"" + id + "\"");
  }
  if (cmd == "emit-every") {
    std::string id = Id(command);
    const json& interval = Member(command, "intervalMs");
    if (!interval.is_number_unsigned() || interval.get<std::uint64_t>() < 1 || interval.get<std::uint64_t>() > 3600000)
      throw JsonFormError("command.intervalMs: expected 1 to 3600000");
    return Done(sim.EmitMessageEvery(id, ParseMessage(Member(command, "message"), "command.message"),
                                     std::chrono::milliseconds(interval.get<std::uint64_t>())),
                "no monitor \"" + id + "\"");
  }
  if (cmd == "stop-emitting") {
    std::string id = Id(command);
    return Done(sim.StopMessageTimers(id), "no timer on \"" + id + "\"");
  }
  if (cmd == "handles") {
    std::string id = Id(command);
    // OpenHandles counts none for an unknown monitor too.
    if (!sim.State(id)) return Done(false, "no monitor \"" + id + "\"");
    return {{"ok", true}, {"handles", sim.OpenHandles(id)}};
  }
  if (cmd == "requests") {
    json requests = json::array();
    for (const RecordedRequest& r : sim.Requests()) requests.push_back(RequestToJson(r));
    return {{"ok", true}, {"requests", requests}};
  }
  if (cmd == "clear-requests") {
    sim.ClearRequests();
    return Done(true, "");
  }
  throw JsonFormError("command.cmd: unknown command \"" + cmd + "\"");
}

}  // namespace

json ExecuteControlCommand(Simulator& simulator, const std::string& text) {
  json command = json::parse(text, nullptr, false);
  try {
    if (command.is_discarded()) throw JsonFormError("command: not valid JSON");
    if (!command.is_object()) throw JsonFormError("command: expected an object");
    return Execute(simulator, command);
  } catch (const std::exception& e) {  // JsonFormError, and a taken id from Simulator::Add
    return Done(false, e.what());
  }
}

}  // namespace monsim
