// The body of a listener's thread.
#pragma once

struct ListenerRecord;

// How long each read of a listener waits: a stop takes effect within the six reads that
// ReadData makes before it gives up on a quiet device.
#if defined(TARVIK_MACOS)
inline constexpr int kListenReadTimeoutMs = 500;
#else
inline constexpr int kListenReadTimeoutMs = 50;
#endif
// The pause between attempts to reopen a device that stays away.
inline constexpr unsigned kListenReopenPauseMs = 1000;

// Reads the record's device until bListen is cleared, hands every message to the callback,
// and reopens the device when reading fails. Ends with FinishListenerThread; on macOS it
// closes its device first.
void MCListenThread(ListenerRecord* record);
