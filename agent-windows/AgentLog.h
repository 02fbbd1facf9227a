// The agent's rotating file log, "Quelmo\Tarvik Client\Log_s" under the common application
// data folder, a new file per process start.
#pragma once

// Makes it the default logger of the log front-end; "Init log failed!" when it cannot.
void InitLog();
