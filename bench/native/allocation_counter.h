#pragma once

#include <cstdint>

namespace tarnu::bench {

// Heap allocations made through operator new (every form) since the program started. The
// benchmark executable replaces the global operator new to count them.
std::uint64_t allocation_count();

}  // namespace tarnu::bench
