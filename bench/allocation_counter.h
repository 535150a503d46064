#pragma once

#include <cstdint>

namespace tarnu::bench {

// Heap allocations made through the global operator new since the program started. This
// benchmark program replaces operator new to count them.
std::uint64_t heap_allocations();

}  // namespace tarnu::bench
