#include "platform/win32/internal/SignalException.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kPageFault = 14;
constexpr std::uint64_t kWriteFault = 0x2;
constexpr std::uint64_t kFetchFault = 0x10;
constexpr ULONG_PTR kReadAccess = 0;
constexpr ULONG_PTR kWriteAccess = 1;
constexpr ULONG_PTR kExecuteAccess = 8;
// Windows' address for a protection fault that names none (a non-canonical address).
constexpr ULONG_PTR kUnknownAddress = ~ULONG_PTR{0};
// The stack pointer lies in the faulting frame, or just above the push that faulted.
constexpr std::uint64_t kBelowStackPointer = 4096;
constexpr std::uint64_t kAboveStackPointer = 64 * 1024;
// x86-64 Linux runs every user stack in this segment.
constexpr WORD kUserStackSegment = 0x2B;

std::uint64_t Register(const ucontext_t& machine, int index) {
  return static_cast<std::uint64_t>(machine.uc_mcontext.gregs[index]);
}

bool IsStackOverflow(std::uint64_t address, std::uint64_t stackPointer) {
  return address + kBelowStackPointer >= stackPointer &&
         address < stackPointer + kAboveStackPointer;
}

// Read or write and the address, as Windows gives them for an access violation.
void SetAccessParameters(const siginfo_t& info, const ucontext_t& machine,
                         EXCEPTION_RECORD* record) {
  record->NumberParameters = 2;
  if (Register(machine, REG_TRAPNO) != kPageFault) {
    record->ExceptionInformation[0] = kReadAccess;
    record->ExceptionInformation[1] = kUnknownAddress;
    return;
  }
  std::uint64_t error = Register(machine, REG_ERR);
  record->ExceptionInformation[0] = (error & kFetchFault) != 0   ? kExecuteAccess
                                    : (error & kWriteFault) != 0 ? kWriteAccess
                                                                 : kReadAccess;
  record->ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info.si_addr);
}

DWORD ArithmeticCode(int code) {
  switch (code) {
    case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
    case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
    case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
    case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
    case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
    default: return EXCEPTION_FLT_INVALID_OPERATION;
  }
}

}  // namespace

namespace win32 {

EXCEPTION_RECORD ExceptionRecordFor(int signal, const siginfo_t& info, const ucontext_t& machine) {
  EXCEPTION_RECORD record{};
  record.ExceptionAddress = reinterpret_cast<PVOID>(Register(machine, REG_RIP));
  switch (signal) {
    case SIGSEGV:
      SetAccessParameters(info, machine, &record);
      record.ExceptionCode =
          IsStackOverflow(record.ExceptionInformation[1], Register(machine, REG_RSP))
              ? EXCEPTION_STACK_OVERFLOW
              : EXCEPTION_ACCESS_VIOLATION;
      break;
    case SIGBUS:
      SetAccessParameters(info, machine, &record);
      record.ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
      break;
    case SIGFPE:
      record.ExceptionCode = ArithmeticCode(info.si_code);
      break;
    case SIGILL:
      record.ExceptionCode = EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
    default:
      record.ExceptionCode = STATUS_FATAL_APP_EXIT;
      record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
      break;
  }
  return record;
}

void ContextFromMachine(const ucontext_t& machine, CONTEXT* context) {
  std::memset(context, 0, sizeof *context);
  context->ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
  context->Rax = Register(machine, REG_RAX);
  context->Rcx = Register(machine, REG_RCX);
  context->Rdx = Register(machine, REG_RDX);
  context->Rbx = Register(machine, REG_RBX);
  context->Rsp = Register(machine, REG_RSP);
  context->Rbp = Register(machine, REG_RBP);
  context->Rsi = Register(machine, REG_RSI);
  context->Rdi = Register(machine, REG_RDI);
  context->R8 = Register(machine, REG_R8);
  context->R9 = Register(machine, REG_R9);
  context->R10 = Register(machine, REG_R10);
  context->R11 = Register(machine, REG_R11);
  context->R12 = Register(machine, REG_R12);
  context->R13 = Register(machine, REG_R13);
  context->R14 = Register(machine, REG_R14);
  context->R15 = Register(machine, REG_R15);
  context->Rip = Register(machine, REG_RIP);
  context->EFlags = static_cast<DWORD>(Register(machine, REG_EFL));
  context->SegCs = static_cast<WORD>(Register(machine, REG_CSGSFS));
  context->SegSs = kUserStackSegment;
  if (machine.uc_mcontext.fpregs != nullptr) {
    // Linux keeps the same FXSAVE image.
    static_assert(sizeof(XMM_SAVE_AREA32) == sizeof(*machine.uc_mcontext.fpregs));
    std::memcpy(&context->FltSave, machine.uc_mcontext.fpregs, sizeof context->FltSave);
    context->MxCsr = context->FltSave.MxCsr;
    context->ContextFlags |= CONTEXT_FLOATING_POINT;
  }
}

void MachineFromContext(const CONTEXT& context, ucontext_t* machine) {
  greg_t* registers = machine->uc_mcontext.gregs;
  if ((context.ContextFlags & CONTEXT_INTEGER) == CONTEXT_INTEGER) {
    registers[REG_RAX] = static_cast<greg_t>(context.Rax);
    registers[REG_RCX] = static_cast<greg_t>(context.Rcx);
    registers[REG_RDX] = static_cast<greg_t>(context.Rdx);
    registers[REG_RBX] = static_cast<greg_t>(context.Rbx);
    registers[REG_RBP] = static_cast<greg_t>(context.Rbp);
    registers[REG_RSI] = static_cast<greg_t>(context.Rsi);
    registers[REG_RDI] = static_cast<greg_t>(context.Rdi);
    registers[REG_R8] = static_cast<greg_t>(context.R8);
    registers[REG_R9] = static_cast<greg_t>(context.R9);
    registers[REG_R10] = static_cast<greg_t>(context.R10);
    registers[REG_R11] = static_cast<greg_t>(context.R11);
    registers[REG_R12] = static_cast<greg_t>(context.R12);
    registers[REG_R13] = static_cast<greg_t>(context.R13);
    registers[REG_R14] = static_cast<greg_t>(context.R14);
    registers[REG_R15] = static_cast<greg_t>(context.R15);
  }
  if ((context.ContextFlags & CONTEXT_CONTROL) == CONTEXT_CONTROL) {
    registers[REG_RSP] = static_cast<greg_t>(context.Rsp);
    registers[REG_RIP] = static_cast<greg_t>(context.Rip);
    registers[REG_EFL] = static_cast<greg_t>(context.EFlags);
  }
  if ((context.ContextFlags & CONTEXT_FLOATING_POINT) == CONTEXT_FLOATING_POINT &&
      machine->uc_mcontext.fpregs != nullptr) {
    std::memcpy(machine->uc_mcontext.fpregs, &context.FltSave, sizeof context.FltSave);
    machine->uc_mcontext.fpregs->mxcsr = context.MxCsr;
  }
}

}  // namespace win32
