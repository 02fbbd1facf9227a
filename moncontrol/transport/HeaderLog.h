// Info-level dumps of command headers.
#pragma once

#include "moncontrol/transport/CommandHeader.h"

void LogSendHeader(const tagMCCMD_HEADER& request);
void LogReceiveHeader(const tagMCCMD_RECEIVE_HEADER& reply);
