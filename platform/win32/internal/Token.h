// The kernel object behind a token handle: the session it starts processes in and the access
// its handle was opened with.
#pragma once

#include "platform/win32/api/Types.h"
#include "platform/win32/internal/KernelObject.h"

namespace win32 {

class TokenObject : public KernelObject {
 public:
  TokenObject(DWORD sessionId, DWORD access, bool primary)
      : m_sessionId(sessionId), m_access(access), m_primary(primary) {}

  DWORD SessionId() const { return m_sessionId; }
  void SetSessionId(DWORD sessionId) { m_sessionId = sessionId; }
  bool Allows(DWORD access) const { return (m_access & access) == access; }
  bool Primary() const { return m_primary; }

 private:
  DWORD m_sessionId;
  DWORD m_access;
  bool m_primary;
};

}  // namespace win32
