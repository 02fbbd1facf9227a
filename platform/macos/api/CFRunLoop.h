// CFRunLoop: each thread's event loop, where scheduled HID devices deliver their callbacks;
// the main thread's also runs the main queue.
// Modes are not told apart: every mode behaves as kCFRunLoopDefaultMode.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFString.h"

using CFRunLoopRef = struct CFRunLoopObject*;
using CFRunLoopSourceRef = struct CFRunLoopSourceObject*;

extern const CFStringRef kCFRunLoopDefaultMode;

enum CFRunLoopRunResult : SInt32 {
  kCFRunLoopRunFinished = 1,
  kCFRunLoopRunStopped = 2,
  kCFRunLoopRunTimedOut = 3,
  kCFRunLoopRunHandledSource = 4,
};

// A version 0 source: perform runs on the loop's thread after the source was signalled and
// the loop woken. Only info and perform are used here.
struct CFRunLoopSourceContext {
  CFIndex version;
  void* info;
  const void* (*retain)(const void* info);
  void (*release)(const void* info);
  CFStringRef (*copyDescription)(const void* info);
  Boolean (*equal)(const void* info1, const void* info2);
  CFHashCode (*hash)(const void* info);
  void (*schedule)(void* info, CFRunLoopRef rl, CFStringRef mode);
  void (*cancel)(void* info, CFRunLoopRef rl, CFStringRef mode);
  void (*perform)(void* info);
};

// The calling thread's loop, made on first use and kept until the thread ends; on the main
// thread (the process's initial one) it is the main loop.
CFRunLoopRef CFRunLoopGetCurrent();
// The main thread's loop, never freed. The main queue is always one of its sources, so it
// is never without work.
CFRunLoopRef CFRunLoopGetMain();
// Runs the current thread's loop until CFRunLoopStop, or until nothing is scheduled on it.
void CFRunLoopRun();
// Runs the current thread's loop: kCFRunLoopRunFinished at once when nothing is scheduled on
// it, else until seconds have passed, CFRunLoopStop, or (when asked) one source was handled.
CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);
// Makes a running loop return; a loop that is not running is not affected.
void CFRunLoopStop(CFRunLoopRef rl);
void CFRunLoopWakeUp(CFRunLoopRef rl);
CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef allocator, CFIndex order, CFRunLoopSourceContext* context);
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
// Once it returns the source's perform no longer runs on that loop; one running there now may
// still finish.
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
void CFRunLoopSourceSignal(CFRunLoopSourceRef source);
