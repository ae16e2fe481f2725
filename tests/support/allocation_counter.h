#pragma once
// Counts heap allocations (operator new) through a replaced global operator new, in its own
// translation unit so that no caller sees the replacement inlined. A program that links this
// counts: the whole process's allocations, and those of the calling thread between Begin and End.
#include <cstdint>

class CAllocationCounter {
public:
    static void Begin();
    // The allocations of this thread since Begin.
    static std::uint64_t End();
    // Every allocation of the process so far.
    static std::uint64_t Total();
};
