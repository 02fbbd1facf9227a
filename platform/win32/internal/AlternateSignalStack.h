// Fatal-signal handlers run on an alternate stack, so that a thread that overflowed its own
// stack still reaches them. The stack is per thread: the stand-in gives one to the threads it
// starts and to the thread that installs the unhandled-exception filter. Other threads use the
// one the sanitizer runtime gave them, if any, or their own stack.
#pragma once

namespace win32 {

// Gives the calling thread an alternate signal stack for the rest of its life, unless it has one.
void EnsureAlternateSignalStack();

}  // namespace win32
