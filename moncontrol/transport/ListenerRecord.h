// A listener record with the thread that reads for it, and how that thread is stopped and
// the record released without ever waiting on a running callback.
#pragma once

#include <mutex>
#include <thread>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/transport/ListenerApi.h"

struct ListenerRecord : tagMONCTRL_LISTEN {
  std::thread thread;
  std::mutex mutex;  // guards bListen's clearing against the flags below
  bool inCallback = false;
  bool finished = false;  // the thread touches the record no more
  bool orphaned = false;  // released while its thread ran: the thread frees it at its end
};

// A record on the open device with its thread reading; null when the thread cannot be
// started (the device is closed then).
ListenerRecord* NewMonCtrlListen(mchid::hid_device* device, int vid, int pid, const wchar_t* serial,
                                 int interfaceNumber);

// Clears bListen: the thread calls no callback from now on and ends after its current read
// or pause.
void AskToStop(ListenerRecord& record);
// AskToStop, then waits for the thread unless it is inside its callback (the caller may hold
// a lock the callback waits for, or be that callback): that one ends by itself.
void StopListenerThread(ListenerRecord& record);
// Stops the thread, closes the device handle and frees the record; a thread still in its
// callback does the closing and freeing itself when it ends.
void ReleaseListener(ListenerRecord* record);
#if defined(TARVIK_MACOS)
// Asks the thread to stop without waiting for it; it frees the record when it ends.
void LetGoListener(ListenerRecord* record);
#endif

// The thread's side: calls the callback unless the listener was asked to stop.
void DeliverToCallback(ListenerRecord& record, mchid::hid_device* device, std::uint8_t* message,
                       std::size_t length);
// The thread's last act.
void FinishListenerThread(ListenerRecord* record);
