// Structured exceptions, as far as the unhandled-exception filter goes. A fatal signal of any
// thread (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) is the exception: the installed filter runs
// on the faulting thread, on an alternate signal stack where the thread has one (see
// internal/AlternateSignalStack.h), with the exception record and the registers of the signal.
// EXCEPTION_CONTINUE_EXECUTION resumes with the registers the filter leaves in the context;
// any other answer ends the process by the same signal, as it would have ended without a filter.
#pragma once

#include "platform/win32/api/Types.h"

#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_EXECUTION (-1)

#define EXCEPTION_NONCONTINUABLE 0x1
#define EXCEPTION_MAXIMUM_PARAMETERS 15

// An abort, including the one that ends an uncaught C++ exception.
#define STATUS_FATAL_APP_EXIT (static_cast<DWORD>(0x40000015L))
#define EXCEPTION_ACCESS_VIOLATION (static_cast<DWORD>(0xC0000005L))
#define EXCEPTION_IN_PAGE_ERROR (static_cast<DWORD>(0xC0000006L))
#define EXCEPTION_ILLEGAL_INSTRUCTION (static_cast<DWORD>(0xC000001DL))
#define EXCEPTION_FLT_DIVIDE_BY_ZERO (static_cast<DWORD>(0xC000008EL))
#define EXCEPTION_FLT_INEXACT_RESULT (static_cast<DWORD>(0xC000008FL))
#define EXCEPTION_FLT_INVALID_OPERATION (static_cast<DWORD>(0xC0000090L))
#define EXCEPTION_FLT_OVERFLOW (static_cast<DWORD>(0xC0000091L))
#define EXCEPTION_FLT_UNDERFLOW (static_cast<DWORD>(0xC0000093L))
#define EXCEPTION_INT_DIVIDE_BY_ZERO (static_cast<DWORD>(0xC0000094L))
#define EXCEPTION_INT_OVERFLOW (static_cast<DWORD>(0xC0000095L))
#define EXCEPTION_STACK_OVERFLOW (static_cast<DWORD>(0xC00000FDL))

#define CONTEXT_AMD64 0x00100000L
#define CONTEXT_CONTROL (CONTEXT_AMD64 | 0x1L)
#define CONTEXT_INTEGER (CONTEXT_AMD64 | 0x2L)
#define CONTEXT_FLOATING_POINT (CONTEXT_AMD64 | 0x8L)
#define CONTEXT_FULL (CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT)

using DWORD64 = std::uint64_t;

typedef struct _EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  struct _EXCEPTION_RECORD* ExceptionRecord;
  PVOID ExceptionAddress;
  DWORD NumberParameters;
  ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
} EXCEPTION_RECORD, *PEXCEPTION_RECORD;

typedef struct alignas(16) _M128A {
  ULONGLONG Low;
  LONGLONG High;
} M128A, *PM128A;

// The FXSAVE image.
typedef struct alignas(16) _XMM_SAVE_AREA32 {
  WORD ControlWord;
  WORD StatusWord;
  BYTE TagWord;
  BYTE Reserved1;
  WORD ErrorOpcode;
  DWORD ErrorOffset;
  WORD ErrorSelector;
  WORD Reserved2;
  DWORD DataOffset;
  WORD DataSelector;
  WORD Reserved3;
  DWORD MxCsr;
  DWORD MxCsr_Mask;
  M128A FloatRegisters[8];
  M128A XmmRegisters[16];
  BYTE Reserved4[96];
} XMM_SAVE_AREA32, *PXMM_SAVE_AREA32;

// The x86-64 register context. Filled here: ContextFlags CONTEXT_FULL, the general registers,
// Rip, Rsp, EFlags, SegCs, SegSs, MxCsr and FltSave.
typedef struct alignas(16) _CONTEXT {
  DWORD64 P1Home;
  DWORD64 P2Home;
  DWORD64 P3Home;
  DWORD64 P4Home;
  DWORD64 P5Home;
  DWORD64 P6Home;
  DWORD ContextFlags;
  DWORD MxCsr;
  WORD SegCs;
  WORD SegDs;
  WORD SegEs;
  WORD SegFs;
  WORD SegGs;
  WORD SegSs;
  DWORD EFlags;
  DWORD64 Dr0;
  DWORD64 Dr1;
  DWORD64 Dr2;
  DWORD64 Dr3;
  DWORD64 Dr6;
  DWORD64 Dr7;
  DWORD64 Rax;
  DWORD64 Rcx;
  DWORD64 Rdx;
  DWORD64 Rbx;
  DWORD64 Rsp;
  DWORD64 Rbp;
  DWORD64 Rsi;
  DWORD64 Rdi;
  DWORD64 R8;
  DWORD64 R9;
  DWORD64 R10;
  DWORD64 R11;
  DWORD64 R12;
  DWORD64 R13;
  DWORD64 R14;
  DWORD64 R15;
  DWORD64 Rip;
  XMM_SAVE_AREA32 FltSave;
  M128A VectorRegister[26];
  DWORD64 VectorControl;
  DWORD64 DebugControl;
  DWORD64 LastBranchToRip;
  DWORD64 LastBranchFromRip;
  DWORD64 LastExceptionToRip;
  DWORD64 LastExceptionFromRip;
} CONTEXT, *PCONTEXT;

static_assert(sizeof(CONTEXT) == 1232);

typedef struct _EXCEPTION_POINTERS {
  PEXCEPTION_RECORD ExceptionRecord;
  PCONTEXT ContextRecord;
} EXCEPTION_POINTERS, *PEXCEPTION_POINTERS;

typedef LONG(WINAPI* PTOP_LEVEL_EXCEPTION_FILTER)(struct _EXCEPTION_POINTERS* exceptionInfo);
typedef PTOP_LEVEL_EXCEPTION_FILTER LPTOP_LEVEL_EXCEPTION_FILTER;

// The filter for the whole process (null: none); returns the one it replaces.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);
