#pragma once

#include <functional>

// Runs Second on a thread of its own while First runs on the caller's thread, and returns once both
// are done. Neither may call the caller's progress or cancel callbacks: those belong to the
// caller's thread. An error raised by either reaches the caller, First's when both raise. When no
// thread can be started, Second runs after First on the caller's thread.
void RunSideBySide(const std::function<void()>& First, const std::function<void()>& Second);
