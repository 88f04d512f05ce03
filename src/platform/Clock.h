#pragma once
#include <cstdint>
#include <functional>

// Milliseconds of a monotonic clock as an unsigned 32-bit count that wraps,
// like the tick count the stand's timing rules are written against.
uint32_t MonotonicTickCount();

// Where a class needs the tick count, it takes one of these so tests can set it.
using TickSource = std::function<uint32_t()>;
