// The I/O context all WebSocket tasks share, run by one thread of its own.
#pragma once

#include <boost/asio/io_context.hpp>

// Made with its thread on first use and never destroyed: a process that ends (by _exit, or by
// returning from main) with a task alive has no static destructor racing the thread.
boost::asio::io_context& ConnectionIoContext();
