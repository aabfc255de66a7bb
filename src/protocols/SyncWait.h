#pragma once

#include <chrono>
#include <functional>

namespace stowline::protocols {

// Processes events (timers, sockets, other completions) until `finished` returns true or
// `timeout` has passed; returns finished(). This is how the synchronous forms wait
// without blocking the UI thread.
bool waitProcessingEvents(const std::function<bool()>& finished,
                          std::chrono::milliseconds timeout);

} // namespace stowline::protocols
