#include "testkit/monsim/handlers/RequestDispatcher.h"

#include "testkit/monsim/handlers/DdcciHandler.h"

namespace monsim {
namespace {

Reply HandleDdcci(const Request& request, MonitorDescription& monitor) {
  auto answer = AnswerDdcciFrame(request.payload, monitor.display, &monitor.chain);
  if (!answer) return RefusedReply(request, kStatusRejected);
  return AcceptedReply(request, std::move(*answer));
}

}  // namespace

Reply HandleRequest(const Request& request, MonitorDescription& monitor) {
  switch (request.header.cmdType) {
    case MCCMD_TYPE_DDCCI:
      return HandleDdcci(request, monitor);
    default:
      return RefusedReply(request, kStatusUnsupported);
  }
}

}  // namespace monsim
