// The threads that run the work of every queue but the main one.
#pragma once

#include <functional>

namespace macstandin {

// Runs job on an idle worker, or on a new one when none is idle, so that work which blocks
// for as long as it likes never holds up other work. A worker left idle for a while ends.
void RunOnWorker(std::function<void()> job);

}  // namespace macstandin
