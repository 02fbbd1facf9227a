// The library's message-queue exports. Nothing fills the queue, so it is always empty and no
// message is ever handed out.
#pragma once

#include <cstdint>

#include "foundation/Export.h"

// Takes nothing in.
TARVIK_EXPORT void Enqueue(const void* message, std::int32_t length);
// True, and writes nothing.
TARVIK_EXPORT bool Dequeue(std::int32_t id, void* message, std::int32_t capacity, std::int32_t* extra);
TARVIK_EXPORT bool IsQueueEmpty();
// Waits a bounded time (kWaitForMessagePolls polls 10 ms apart) for a message with the ID;
// false, since none comes.
TARVIK_EXPORT bool WaitForMessage(std::int32_t id, void* message, std::int32_t* extra);

inline constexpr int kWaitForMessagePolls = 100;
