// Every write is a pwrite system call at its offset: no allocation, no lock, and the stack is
// read by the kernel, which refuses an unreadable page (EFAULT) instead of faulting. The system
// call itself, not its library wrapper, which a sanitizer would check against its own idea of
// what on the stack may be read.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/DiskFile.h"
#include "platform/win32/internal/MiniDumpFormat.h"
#include "platform/win32/internal/SignalException.h"

namespace {

namespace md = win32::minidump;

constexpr std::size_t kStackLimit = 64 * 1024;
constexpr std::size_t kPageSize = 4096;
constexpr DWORD kHresultFromWin32 = 0x80070000;
constexpr DWORD kErrorWriteFault = 29;
constexpr DWORD kErrorDiskFull = 112;

// What comes before the context and the stack, in file order. The exception stream is last,
// so that a dump without one simply ends its fixed part earlier.
#pragma pack(push, 4)
struct FixedPart {
  md::Header header;
  md::Directory directory[3];
  md::SystemInfo system;
  md::EmptyString csdVersion;
  md::ThreadListOfOne threads;
  md::ExceptionStream exception;
};
#pragma pack(pop)

constexpr std::uint32_t Rva(std::size_t offset) { return static_cast<std::uint32_t>(offset); }

md::Location At(std::size_t offset, std::size_t size) {
  return md::Location{static_cast<std::uint32_t>(size), Rva(offset)};
}

// Writes it all, or gives the errno of the failure.
int WriteAt(int fd, const void* data, std::size_t size, std::size_t offset) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    long written = syscall(SYS_pwrite64, fd, bytes, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::size_t>(written);
  }
  return 0;
}

// The part of a thread's stack that the dump holds.
struct CopiedStack {
  std::uintptr_t start = 0;
  std::size_t size = 0;
};

// Copies the stack upward from its pointer, page by page, 64 KiB at most. Unreadable pages
// before the first readable one are passed over (a stack pointer that ran past the end of its
// stack); the next unreadable page ends the stack. False with errno set when the file refused.
bool WriteStack(int fd, std::uintptr_t stackPointer, std::size_t offset, CopiedStack* stack) {
  std::size_t scanned = 0;
  while (scanned < kStackLimit) {
    std::uintptr_t from = stackPointer + scanned;
    std::size_t piece = kPageSize - from % kPageSize;
    if (piece > kStackLimit - scanned) piece = kStackLimit - scanned;
    long written =
        syscall(SYS_pwrite64, fd, from, piece, static_cast<off_t>(offset + stack->size));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EFAULT && stack->size == 0) {
      scanned += piece;
      continue;
    }
    if (written < 0 && errno == EFAULT) break;
    if (written < 0) return false;
    if (stack->size == 0) stack->start = from;
    stack->size += static_cast<std::size_t>(written);
    scanned += static_cast<std::size_t>(written);
    if (static_cast<std::size_t>(written) < piece) break;
  }
  return true;
}

md::Exception ExceptionOf(const EXCEPTION_RECORD& record) {
  md::Exception exception{};
  exception.exceptionCode = record.ExceptionCode;
  exception.exceptionFlags = record.ExceptionFlags;
  exception.exceptionAddress = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  exception.numberParameters = record.NumberParameters > EXCEPTION_MAXIMUM_PARAMETERS
                                   ? EXCEPTION_MAXIMUM_PARAMETERS
                                   : record.NumberParameters;
  for (DWORD i = 0; i < exception.numberParameters; ++i)
    exception.exceptionInformation[i] = record.ExceptionInformation[i];
  return exception;
}

// The fixed part for a dump whose thread has the context; its stack is filled in later.
void Describe(const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam, DWORD threadId,
              FixedPart* fixed, std::size_t* contextOffset) {
  const bool withException = exceptionParam != nullptr;
  const DWORD streams = withException ? 3 : 2;
  *contextOffset = withException ? sizeof(FixedPart) : offsetof(FixedPart, exception);
  const md::Location context = At(*contextOffset, sizeof(CONTEXT));

  fixed->header = {md::kSignature, md::kVersion, streams, Rva(offsetof(FixedPart, directory)), 0,
                   static_cast<std::uint32_t>(time(nullptr)), MiniDumpNormal};
  fixed->directory[0] = {md::kSystemInfoStream,
                         At(offsetof(FixedPart, system), sizeof(md::SystemInfo))};
  fixed->directory[1] = {md::kThreadListStream,
                         At(offsetof(FixedPart, threads), sizeof(md::ThreadListOfOne))};
  fixed->directory[2] = {md::kExceptionStream,
                         At(offsetof(FixedPart, exception), sizeof(md::ExceptionStream))};
  fixed->system = md::ThisSystem();
  fixed->system.csdVersionRva = Rva(offsetof(FixedPart, csdVersion));
  fixed->csdVersion = {0, 0};
  fixed->threads.numberOfThreads = 1;
  fixed->threads.thread = md::Thread{threadId, 0, 0, 0, 0, {}, context};
  if (withException) {
    fixed->exception.threadId = exceptionParam->ThreadId;
    fixed->exception.exceptionRecord =
        ExceptionOf(*exceptionParam->ExceptionPointers->ExceptionRecord);
    fixed->exception.threadContext = context;
  }
}

bool IsComplete(const MINIDUMP_EXCEPTION_INFORMATION& information) {
  const EXCEPTION_POINTERS* pointers = information.ExceptionPointers;
  return pointers != nullptr && pointers->ContextRecord != nullptr &&
         pointers->ExceptionRecord != nullptr;
}

BOOL Fail(DWORD error) {
  SetLastError(kHresultFromWin32 | error);
  return FALSE;
}

BOOL FailWithErrno(int error) {
  return Fail(error == ENOSPC || error == EDQUOT ? kErrorDiskFull : kErrorWriteFault);
}

}  // namespace

BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE dumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION exceptionParam,
                       PMINIDUMP_USER_STREAM_INFORMATION userStreamParam,
                       PMINIDUMP_CALLBACK_INFORMATION callbackParam) {
  if (process != GetCurrentProcess() || processId != GetCurrentProcessId() ||
      dumpType != MiniDumpNormal || userStreamParam != nullptr || callbackParam != nullptr ||
      (exceptionParam != nullptr && !IsComplete(*exceptionParam)))
    return Fail(ERROR_INVALID_PARAMETER);
  const auto* target = win32::ObjectFromHandle<win32::DiskFile>(file);
  if (target == nullptr) return Fail(ERROR_INVALID_HANDLE);
  const int fd = target->Descriptor();

  CONTEXT ownContext;
  const CONTEXT* context = &ownContext;
  DWORD threadId = GetCurrentThreadId();
  if (exceptionParam != nullptr) {
    context = exceptionParam->ExceptionPointers->ContextRecord;
    threadId = exceptionParam->ThreadId;
  } else {
    ucontext_t machine;
    getcontext(&machine);
    win32::ContextFromMachine(machine, &ownContext);
  }

  FixedPart fixed{};
  std::size_t contextOffset = 0;
  Describe(exceptionParam, threadId, &fixed, &contextOffset);
  const std::size_t stackOffset = contextOffset + sizeof(CONTEXT);
  if (int error = WriteAt(fd, &fixed, contextOffset, 0); error != 0) return FailWithErrno(error);
  if (int error = WriteAt(fd, context, sizeof(CONTEXT), contextOffset); error != 0)
    return FailWithErrno(error);
  CopiedStack copied;
  if (!WriteStack(fd, context->Rsp, stackOffset, &copied)) return FailWithErrno(errno);
  const md::MemoryDescriptor stack{copied.start, At(stackOffset, copied.size)};
  const std::size_t stackField = offsetof(FixedPart, threads) +
                                 offsetof(md::ThreadListOfOne, thread) + offsetof(md::Thread, stack);
  if (int error = WriteAt(fd, &stack, sizeof stack, stackField); error != 0)
    return FailWithErrno(error);
  return TRUE;
}
