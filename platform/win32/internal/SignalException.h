// A fatal signal in Windows terms: the exception record it stands for and the registers of its
// machine context. Safe inside a signal handler.
#pragma once

#include <csignal>

#include <ucontext.h>

#include "platform/win32/api/Exceptions.h"

namespace win32 {

EXCEPTION_RECORD ExceptionRecordFor(int signal, const siginfo_t& info, const ucontext_t& machine);

void ContextFromMachine(const ucontext_t& machine, CONTEXT* context);
// What a filter changed in the context goes back to the machine context it resumes with.
void MachineFromContext(const CONTEXT& context, ucontext_t* machine);

}  // namespace win32
