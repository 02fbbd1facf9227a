// The macOS library dumps no command headers.
#include "moncontrol/transport/HeaderLog.h"

void LogSendHeader(const tagMCCMD_HEADER&) {}
void LogReceiveHeader(const tagMCCMD_RECEIVE_HEADER&) {}
