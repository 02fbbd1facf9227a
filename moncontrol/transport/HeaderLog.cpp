#include "moncontrol/transport/HeaderLog.h"

#include "foundation/log/Log.h"

// The two dumps differ only in their lead.
#define MCCMD_HEADER_FIELDS                                                               \
  L"cmdID: 0x%x, cmdType: 0x%x, param1: 0x%x, param2: 0x%x, param3: 0x%x, param4: 0x%x, " \
  L"dataLength: %d, signature %d"

void LogSendHeader(const tagMCCMD_HEADER& request) {
  LogInfo(L"SEND  :" MCCMD_HEADER_FIELDS, request.cmdID, request.cmdType, request.param1,
          request.param2, request.param3, request.param4, static_cast<int>(request.dataLength),
          static_cast<int>(request.signature));
}

void LogReceiveHeader(const tagMCCMD_RECEIVE_HEADER& reply) {
  LogInfo(L"RECIVE:" MCCMD_HEADER_FIELDS, reply.cmdID, reply.cmdType, reply.param1, reply.param2,
          reply.param3, reply.param4, static_cast<int>(reply.dataLength),
          static_cast<int>(reply.signature));
}
