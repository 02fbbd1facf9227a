#include "foundation/sync/CCriticalSectionEx.h"

CCriticalSectionEx::CCriticalSectionEx() { InitializeCriticalSection(&m_cs); }

CCriticalSectionEx::~CCriticalSectionEx() { DeleteCriticalSection(&m_cs); }

void CCriticalSectionEx::Lock() { EnterCriticalSection(&m_cs); }

void CCriticalSectionEx::Unlock() { LeaveCriticalSection(&m_cs); }
