#include "testkit/monsim/handlers/RequestDispatcher.h"

#include "testkit/monsim/handlers/DdcciHandler.h"
#include "testkit/monsim/handlers/FunctionHandler.h"
#include "testkit/monsim/handlers/IicHandler.h"

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
    case MCCMD_TYPE_IIC:
      return AnswerIicRequest(request, monitor.iic);
    case MCCMD_TYPE_FUNCTION:
      return AnswerFunctionRequest(request, monitor.functions);
    default:
      return RefusedReply(request, kStatusUnsupported);
  }
}

}  // namespace monsim
