// Counts the heap allocations made through operator new while a counter is alive, for the
// tests of paths that must not allocate (frames, effects, expression evaluation). Using it
// replaces the global operator new of the test executable with a counting one.
#pragma once

class AllocationCounter {
public:
    AllocationCounter();   // counts from 0
    ~AllocationCounter();  // stops counting
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    long count() const;
};
