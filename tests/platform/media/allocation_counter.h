#pragma once
// Counts the heap allocations (operator new) that the calling thread makes between Begin and
// End. The test binary replaces the global operator new for this.
#include <cstdint>

class CAllocationCounter {
public:
    static void Begin();
    // The allocations of this thread since Begin.
    static std::uint64_t End();
};
