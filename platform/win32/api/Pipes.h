// Named pipes: an inbound message pipe that one client at a time writes to, as an installer
// reports to the agent. The server end is made with CreateNamedPipeW and read with ReadFile; a
// client, in any process, opens "\\.\pipe\<name>" with CreateFileW and writes with WriteFile.
//
// Here a pipe is a Unix-domain socket (SOCK_SEQPACKET, which keeps message boundaries) in
// Pipes/ under the folder of the named kernel objects (TARVIK_KERNEL_OBJECTS, default
// /dev/shm/tarvik-objects). Pipe names are machine-wide, as on Windows, and case-sensitive
// here. Only what the product uses is supported: inbound, message type and read mode,
// blocking, one instance per name, no overlapped I/O.
#pragma once

#include "platform/win32/api/Errors.h"
#include "platform/win32/api/Security.h"
#include "platform/win32/api/Types.h"

#define PIPE_ACCESS_INBOUND 0x00000001
#define PIPE_TYPE_MESSAGE 0x00000004
#define PIPE_READMODE_MESSAGE 0x00000002
#define PIPE_WAIT 0x00000000
#define PIPE_UNLIMITED_INSTANCES 255

#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080

#define ERROR_PIPE_BUSY 231L
#define ERROR_NO_DATA 232L
#define ERROR_PIPE_NOT_CONNECTED 233L
#define ERROR_PIPE_CONNECTED 535L
#define ERROR_PIPE_LISTENING 536L

struct _OVERLAPPED;
using LPOVERLAPPED = _OVERLAPPED*;

// The server end, listening at once. A name already served is ERROR_PIPE_BUSY; a name that is
// not "\\.\pipe\<name>" is ERROR_INVALID_NAME. Buffer sizes and the time-out are accepted and
// not used.
HANDLE CreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeOut,
                        LPSECURITY_ATTRIBUTES attributes);
// Waits until a client connects (overlapped must be null). FALSE with ERROR_PIPE_CONNECTED when
// one connected between CreateNamedPipeW and this call.
BOOL ConnectNamedPipe(HANDLE pipe, LPOVERLAPPED overlapped);
// Drops the client, whose later writes fail; the pipe takes no client until ConnectNamedPipe.
BOOL DisconnectNamedPipe(HANDLE pipe);

// The client end of a pipe: GENERIC_WRITE and OPEN_EXISTING. ERROR_FILE_NOT_FOUND when nobody
// serves the name, ERROR_PIPE_BUSY while its instance has a client or waits for ConnectNamedPipe.
// Any other name is a file on disk, which is only made for writing (GENERIC_WRITE, CREATE_ALWAYS)
// and written by MiniDumpWriteDump.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// One message per read. A longer message gives its first bytes and ERROR_MORE_DATA, and the
// rest comes with the next reads; the client gone is ERROR_BROKEN_PIPE.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);
// One message per write (an empty write sends nothing). ERROR_NO_DATA once the server has
// disconnected the client or closed its end.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
