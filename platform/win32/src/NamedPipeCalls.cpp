// The Win32 named-pipe calls over the server and client objects.
#include "platform/win32/Win32.h"
#include "platform/win32/internal/DiskFile.h"
#include "platform/win32/src/NamedPipe.h"

using win32::NamedPipeClient;
using win32::NamedPipeServer;
using win32::ObjectFromHandle;

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL Result(DWORD error) { return error == ERROR_SUCCESS ? TRUE : Fail(error); }

HANDLE FailHandle(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD /*outBufferSize*/, DWORD /*inBufferSize*/, DWORD /*defaultTimeOut*/,
                        LPSECURITY_ATTRIBUTES attributes) {
  win32::PipeAddress address;
  if (DWORD error = win32::PipeAddressForName(name, &address); error != ERROR_SUCCESS)
    return FailHandle(error);
  bool everyone = false;
  if (DWORD error = win32::ReadSecurityAttributes(attributes, &everyone); error != ERROR_SUCCESS)
    return FailHandle(error);
  if (openMode != PIPE_ACCESS_INBOUND ||
      pipeMode != (PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT) || maxInstances == 0 ||
      maxInstances > PIPE_UNLIMITED_INSTANCES)
    return FailHandle(ERROR_INVALID_PARAMETER);
  NamedPipeServer* server = nullptr;
  if (DWORD error = NamedPipeServer::Create(address, everyone, &server); error != ERROR_SUCCESS)
    return FailHandle(error);
  return win32::HandleFromObject(server);
}

BOOL ConnectNamedPipe(HANDLE pipe, LPOVERLAPPED overlapped) {
  auto* server = ObjectFromHandle<NamedPipeServer>(pipe);
  if (server == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (overlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return Result(server->Connect());
}

BOOL DisconnectNamedPipe(HANDLE pipe) {
  auto* server = ObjectFromHandle<NamedPipeServer>(pipe);
  if (server == nullptr) return Fail(ERROR_INVALID_HANDLE);
  return Result(server->Disconnect());
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                   LPSECURITY_ATTRIBUTES /*attributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (fileName == nullptr) return FailHandle(ERROR_INVALID_NAME);
  if (!win32::IsPipeName(fileName))
    return win32::CreateDiskFile(fileName, desiredAccess, creationDisposition);
  win32::PipeAddress address;
  if (DWORD error = win32::PipeAddressForName(fileName, &address); error != ERROR_SUCCESS)
    return FailHandle(error);
  if (creationDisposition != OPEN_EXISTING) return FailHandle(ERROR_INVALID_PARAMETER);
  // Every pipe here is inbound: its clients only write.
  if ((desiredAccess & GENERIC_WRITE) == 0 || (desiredAccess & GENERIC_READ) != 0)
    return FailHandle(ERROR_ACCESS_DENIED);
  NamedPipeClient* client = nullptr;
  if (DWORD error = NamedPipeClient::Open(address, &client); error != ERROR_SUCCESS)
    return FailHandle(error);
  return win32::HandleFromObject(client);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (ObjectFromHandle<NamedPipeClient>(file) != nullptr) return Fail(ERROR_ACCESS_DENIED);
  auto* server = ObjectFromHandle<NamedPipeServer>(file);
  if (server == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (overlapped != nullptr || (buffer == nullptr && bytesToRead > 0))
    return Fail(ERROR_INVALID_PARAMETER);
  DWORD count = 0;
  DWORD error = server->Read(buffer, bytesToRead, &count);
  if (bytesRead != nullptr) *bytesRead = count;
  return Result(error);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  if (ObjectFromHandle<NamedPipeServer>(file) != nullptr) return Fail(ERROR_ACCESS_DENIED);
  auto* client = ObjectFromHandle<NamedPipeClient>(file);
  if (client == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (overlapped != nullptr || (buffer == nullptr && bytesToWrite > 0))
    return Fail(ERROR_INVALID_PARAMETER);
  DWORD count = 0;
  DWORD error = client->Write(buffer, bytesToWrite, &count);
  if (bytesWritten != nullptr) *bytesWritten = count;
  return Result(error);
}
